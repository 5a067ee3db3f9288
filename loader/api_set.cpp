#include "api_set.h"
#include "names.h"
#include "../image/byte_span.h"

// The schema's layout in version 6 (Windows 10 and later): a header, an array
// of sets and, per set, an array of values. Every offset counts from the
// start of the schema; names are UTF-16 without terminator or ".dll".
namespace {
const DWORD SCHEMA_VERSION_6 = 6;

struct SchemaHeader {
    DWORD version;
    DWORD size;
    DWORD flags;
    DWORD count;
    DWORD entryOffset;
    DWORD hashOffset;
    DWORD hashFactor;
};

struct SchemaEntry {
    DWORD flags;
    DWORD nameOffset;
    DWORD nameLength;     // bytes
    DWORD hashedLength;   // bytes of the name before its last hyphen
    DWORD valueOffset;
    DWORD valueCount;
};

// The hash table: one entry per set, sorted by hash.
struct SchemaHash {
    DWORD hash;
    DWORD index;   // of the set
};

struct SchemaValue {
    DWORD flags;
    DWORD importerOffset;
    DWORD importerLength;   // bytes; 0 for the default value
    DWORD hostOffset;
    DWORD hostLength;       // bytes; 0 when this system implements no host
};
}

// The schema's `length` bytes of text at `offset`, or null when they leave it.
static const wchar_t* SchemaText(const ByteSpan* schema, DWORD offset, DWORD length)
{
    if (offset % sizeof(wchar_t) != 0 || length % sizeof(wchar_t) != 0)
        return NULL;
    return reinterpret_cast<const wchar_t*>(SpanAt(schema, offset, length));
}

// Item `index` of an array of `size`-byte items at `offset`, or null when it
// leaves the schema (or its offset would not fit 32 bits).
static const BYTE* ArrayItem(const ByteSpan* schema, DWORD offset, DWORD index, DWORD size)
{
    if (index > (MAXDWORD - offset) / size)
        return NULL;
    return SpanAt(schema, offset + index * size, size);
}

bool IsApiSetName(const wchar_t* name)
{
    return lstrlenW(name) >= 4 && (SameNameUnits(name, 4, L"api-", 4) || SameNameUnits(name, 4, L"ext-", 4));
}

// Units of `name` that the match compares: up to its last hyphen, after any
// ".dll" is taken off. 0 when it has no hyphen.
static int MatchedUnits(const wchar_t* name)
{
    int units = lstrlenW(name);
    if (units >= 4 && SameNameUnits(name + units - 4, 4, L".dll", 4))
        units -= 4;
    while (units > 0 && name[units - 1] != L'-')
        --units;
    return units > 0 ? units - 1 : 0;
}

// The system's hash of a set's name: its matched units, lower-cased (ASCII).
static DWORD HashSetName(const wchar_t* name, int units, DWORD factor)
{
    DWORD hash = 0;
    for (int i = 0; i < units; ++i) {
        wchar_t c = name[i] >= L'A' && name[i] <= L'Z' ? static_cast<wchar_t>(name[i] + 32) : name[i];
        hash = hash * factor + c;
    }
    return hash;
}

// Hash-table entry `position`; false when it lies outside the schema.
static bool HashAt(const ByteSpan* schema, const SchemaHeader* header, DWORD position, SchemaHash* out)
{
    const BYTE* at = ArrayItem(schema, header->hashOffset, position, sizeof(SchemaHash));
    if (at)
        CopyMemory(out, at, sizeof *out);
    return at != NULL;
}

// Whether the set the hash-table entry points at is the one `name` names.
static bool SetMatches(const ByteSpan* schema, const SchemaHeader* header, const SchemaHash* hash,
                       const wchar_t* name, int units, SchemaEntry* entry)
{
    const BYTE* at = ArrayItem(schema, header->entryOffset, hash->index, sizeof(SchemaEntry));
    if (!at)
        return false;
    CopyMemory(entry, at, sizeof *entry);
    const wchar_t* hashed = SchemaText(schema, entry->nameOffset, entry->hashedLength);
    return hashed && SameNameUnits(hashed, static_cast<int>(entry->hashedLength / sizeof(wchar_t)), name, units);
}

// The entry of the set that `name` names, if the schema has one: found as
// the system finds it, by a binary search of the hash table for the name's
// hash, then among the entries of that hash for the name itself.
static bool FindSet(const ByteSpan* schema, const SchemaHeader* header, const wchar_t* name, SchemaEntry* found)
{
    int units = MatchedUnits(name);
    if (units == 0)
        return false;
    DWORD hash = HashSetName(name, units, header->hashFactor);
    // The count bounds nothing by itself: only entries inside the schema are searched.
    DWORD low = 0, high = EntriesInside(schema, SpanAt(schema, header->hashOffset, 0), header->count,
                                        sizeof(SchemaHash));
    while (low < high) {
        DWORD middle = low + (high - low) / 2;
        SchemaHash h;
        if (!HashAt(schema, header, middle, &h))
            return false;
        if (h.hash < hash) {
            low = middle + 1;
        } else if (h.hash > hash) {
            high = middle;
        } else {
            // Sets whose hashes collide lie side by side.
            DWORD first = middle;
            while (first > 0 && HashAt(schema, header, first - 1, &h) && h.hash == hash)
                --first;
            for (DWORD p = first; p < high && HashAt(schema, header, p, &h) && h.hash == hash; ++p) {
                if (SetMatches(schema, header, &h, name, units, found))
                    return true;
            }
            return false;
        }
    }
    return false;
}

// The value that the set gives `importer`, else its default one.
static bool ChooseValue(const ByteSpan* schema, const SchemaEntry* set, const wchar_t* importer, SchemaValue* chosen)
{
    bool haveDefault = false;
    for (DWORD i = 0; i < set->valueCount; ++i) {
        const BYTE* at = ArrayItem(schema, set->valueOffset, i, sizeof(SchemaValue));
        if (!at)
            break;
        SchemaValue value;
        CopyMemory(&value, at, sizeof value);
        if (value.importerLength == 0) {
            if (!haveDefault)
                *chosen = value;
            haveDefault = true;
            continue;
        }
        const wchar_t* name = SchemaText(schema, value.importerOffset, value.importerLength);
        if (name && importer && SameNameUnits(name, static_cast<int>(value.importerLength / sizeof(wchar_t)), importer,
                                          lstrlenW(importer))) {
            *chosen = value;
            return true;
        }
    }
    return haveDefault;
}

bool ResolveApiSetIn(const BYTE* schemaBytes, DWORD size, const wchar_t* name, const wchar_t* importer,
                     wchar_t* host, int hostUnits)
{
    if (hostUnits <= 0)
        return false;
    host[0] = L'\0';
    if (!schemaBytes || !IsApiSetName(name))
        return false;
    ByteSpan schema = { schemaBytes, size };
    const BYTE* at = SpanAt(&schema, 0, sizeof(SchemaHeader));
    if (!at)
        return false;
    SchemaHeader header;
    CopyMemory(&header, at, sizeof header);
    if (header.version != SCHEMA_VERSION_6)
        return false;
    // A schema cut short of the size it declares is malformed; nothing past
    // that size is read.
    if (header.size > schema.size)
        return false;
    schema.size = header.size;

    SchemaEntry set;
    SchemaValue value;
    if (!FindSet(&schema, &header, name, &set) || !ChooseValue(&schema, &set, importer, &value))
        return false;
    const wchar_t* text = SchemaText(&schema, value.hostOffset, value.hostLength);
    int units = static_cast<int>(value.hostLength / sizeof(wchar_t));
    if (!text || units == 0 || units >= hostUnits)
        return false;
    CopyMemory(host, text, units * sizeof(wchar_t));
    host[units] = L'\0';
    if (lstrlenW(host) != units) {   // a NUL inside the name: no host name we could search for
        host[0] = L'\0';
        return false;
    }
    return true;
}
