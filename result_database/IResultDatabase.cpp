#include "ulmora/IResultDatabase.h"

namespace Ulmora {

// The special members live in the library so that hosts and plug-ins can
// derive their own databases from the interface. The interface holds nothing,
// so copying copies nothing.
IResultDatabase::IResultDatabase() = default;
IResultDatabase::IResultDatabase(const IResultDatabase&) = default;
IResultDatabase& IResultDatabase::operator=(const IResultDatabase&) { return *this; }
IResultDatabase::~IResultDatabase() = default;

} // namespace Ulmora
