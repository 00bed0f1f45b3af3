#pragma once

#include <cstdint>

#include "vkstp/config_image.h"

// How one ISO 8583 data element lies on the wire, taken from its FieldSpec.
// The FieldSpec table may come from another process through shared memory, so it
// is never trusted: a FieldSpec that FieldSpecIsDefined refuses (MAX_LEN 0 or
// negative, LENGTH_BYTES outside 0 to 3) makes the element undefined.
enum class ElementKind {
    Undefined,  // the element must not occur
    Fixed,      // exactly maxLen bytes, blank-padded when sent
    Variable,   // lengthBytes decimal digits, then that many value bytes
};

struct ElementLayout {
    ElementKind kind;
    int32_t maxLen;       // > 0 unless undefined
    int32_t lengthBytes;  // 1 to 3 for a variable element, else 0
};

inline ElementLayout LayoutOfElement(const FieldSpec& spec) {
    if (!FieldSpecIsDefined(spec)) {
        return {ElementKind::Undefined, 0, 0};
    }
    if (spec.LENGTH_BYTES > 0) {
        return {ElementKind::Variable, spec.MAX_LEN, spec.LENGTH_BYTES};
    }
    return {ElementKind::Fixed, spec.MAX_LEN, 0};
}
