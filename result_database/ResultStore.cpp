#include "result_database/ResultStore.h"

namespace Ulmora {

IResultDatabase::IResultDatabase() = default;
IResultDatabase::IResultDatabase(const IResultDatabase&) = default;
IResultDatabase& IResultDatabase::operator=(const IResultDatabase&) { return *this; }
IResultDatabase::~IResultDatabase() = default;

ResultStore::ResultStore() = default;
ResultStore::~ResultStore() = default;
void ResultStore::Clear() {}

} // namespace Ulmora
