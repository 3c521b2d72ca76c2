#pragma once
// The stored numbers of the preferences as one table: the text form exports
// and imports them by it, and a loaded record is checked against it.

#include "dashrec/core/Pref.h"

namespace vk {

struct Pref::Field {
    enum Use { CHECKED = 0, EXPORTED = 1, IMPORTED = 2 };

    const char* section;
    const char* key;
    int use; // Use bits
    int32_t& (*value)(Pref&);
    int32_t min; // the valid values, both ends included
    int32_t max;
    int32_t def; // also what the import takes when the key is missing

    bool Exported() const { return (use & EXPORTED) != 0; }
    bool Imported() const { return (use & IMPORTED) != 0; }
    bool Accepts(long v) const { return v >= min && v <= max; }
};

} // namespace vk
