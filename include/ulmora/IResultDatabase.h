// The result database: what tests write and interpreters read.
//
// Every value is stored as text under a key made by formatting a printf-style
// key format with the trailing arguments. A key holds an ordered list of
// values, read back by index. Keys are lowered when values are added and
// looked up exactly as formatted when read, so readers pass lower-case keys.
//
// The thirty virtual slots below are a binary contract with separately built
// plug-ins: never reorder them.
//
// Threads: a database is used by one thread at a time, the one that drives the application.
#ifndef ULMORA_IRESULTDATABASE_H
#define ULMORA_IRESULTDATABASE_H

#include <cstdint>
#include <string>

#include "ulmora/DoubleZeroString.h"
#include "ulmora/Export.h"

namespace Log { class Logger; }

namespace Ulmora {

// Errors: typed gets and GetValues raise ResultNotFoundException when the key
// has no values, and typed gets raise ResultIndexOutOfBoundException when the
// index is not below the key's value count. Adds never raise.
//
// Values are written and read with fixed conversions: 8-bit values as 32-bit
// decimals, read through the 32-bit scans keeping the low 8 bits (300 reads
// as 44), 16-bit values with "%hu"/"%hi", 32- and 64-bit values as plain
// decimal (the signed reads accept octal and hex prefixes, as "%i" does),
// floats widened and written with "%.10g", doubles with "%.20lg", bools as
// "true"/"false" (read back as true only for exactly "true"). Reads skip
// leading white space and ignore trailing text. Keys too long to format
// (Ulmora's own store allows the key format's length plus 511 bytes) drop an
// add and read as empty text.
//
// A stored text that does not parse as the reading type raises nothing and
// gives 0 (0.0 for GetFloat and GetDouble, false for GetBool). A number beyond
// the type's range gives what the runtime's scan conversion makes of it.
class ULMORA_API IResultDatabase {
public:
    IResultDatabase();
    IResultDatabase(const IResultDatabase&);
    IResultDatabase& operator=(const IResultDatabase&);
    virtual ~IResultDatabase();                                                                  // 0

    virtual void Clear() = 0;                                                                    // 1
    virtual void AddUInt8(const char* keyFormat, uint8_t value, ...) ULMORA_PRINTF(2, 4) = 0;    // 2
    virtual void AddInt8(const char* keyFormat, int8_t value, ...) ULMORA_PRINTF(2, 4) = 0;      // 3
    virtual void AddUInt16(const char* keyFormat, uint16_t value, ...) ULMORA_PRINTF(2, 4) = 0;  // 4
    virtual void AddInt16(const char* keyFormat, int16_t value, ...) ULMORA_PRINTF(2, 4) = 0;    // 5
    virtual void AddUInt32(const char* keyFormat, uint32_t value, ...) ULMORA_PRINTF(2, 4) = 0;  // 6
    virtual void AddInt32(const char* keyFormat, int32_t value, ...) ULMORA_PRINTF(2, 4) = 0;    // 7
    virtual void AddUInt64(const char* keyFormat, uint64_t value, ...) ULMORA_PRINTF(2, 4) = 0;  // 8
    virtual void AddInt64(const char* keyFormat, int64_t value, ...) ULMORA_PRINTF(2, 4) = 0;    // 9
    virtual void AddFloat(const char* keyFormat, float value, ...) ULMORA_PRINTF(2, 4) = 0;      // 10
    virtual void AddDouble(const char* keyFormat, double value, ...) ULMORA_PRINTF(2, 4) = 0;    // 11
    virtual void AddBool(const char* keyFormat, bool value, ...) ULMORA_PRINTF(2, 4) = 0;        // 12
    // A null `value` is stored as empty text.
    virtual void AddString(const char* keyFormat, const char* value, ...) ULMORA_PRINTF(2, 4) = 0; // 13

    virtual uint8_t GetUInt8(const char* keyFormat, uint32_t index, ...) const ULMORA_PRINTF(2, 4) = 0;   // 14
    virtual int8_t GetInt8(const char* keyFormat, uint32_t index, ...) const ULMORA_PRINTF(2, 4) = 0;     // 15
    virtual uint16_t GetUInt16(const char* keyFormat, uint32_t index, ...) const ULMORA_PRINTF(2, 4) = 0; // 16
    virtual int16_t GetInt16(const char* keyFormat, uint32_t index, ...) const ULMORA_PRINTF(2, 4) = 0;   // 17
    virtual uint32_t GetUInt32(const char* keyFormat, uint32_t index, ...) const ULMORA_PRINTF(2, 4) = 0; // 18
    virtual int32_t GetInt32(const char* keyFormat, uint32_t index, ...) const ULMORA_PRINTF(2, 4) = 0;   // 19
    virtual uint64_t GetUInt64(const char* keyFormat, uint32_t index, ...) const ULMORA_PRINTF(2, 4) = 0; // 20
    virtual int64_t GetInt64(const char* keyFormat, uint32_t index, ...) const ULMORA_PRINTF(2, 4) = 0;   // 21
    virtual float GetFloat(const char* keyFormat, uint32_t index, ...) const ULMORA_PRINTF(2, 4) = 0;     // 22
    virtual double GetDouble(const char* keyFormat, uint32_t index, ...) const ULMORA_PRINTF(2, 4) = 0;   // 23
    virtual bool GetBool(const char* keyFormat, uint32_t index, ...) const ULMORA_PRINTF(2, 4) = 0;       // 24
    virtual std::string GetString(const char* keyFormat, uint32_t index, ...) const ULMORA_PRINTF(2, 4) = 0; // 25

    // The key's values up to its first empty value.
    virtual DoubleZeroString GetValues(const char* keyFormat, ...) const ULMORA_PRINTF(2, 3) = 0; // 26
    // 0 when the key does not exist; never raises.
    virtual uint32_t GetValueCount(const char* keyFormat, ...) const ULMORA_PRINTF(2, 3) = 0;     // 27
    // One line "key\tvalue\n" per value, keys in byte order.
    virtual std::string GetAsText() const = 0;                                                    // 28
    // The lines of GetAsText, one log message each.
    virtual void WriteToLog(Log::Logger* logger) const = 0;                                      // 29
};

} // namespace Ulmora

#endif
