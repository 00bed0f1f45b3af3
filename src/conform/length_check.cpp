#include "conform/length_check.h"

namespace conform {

LengthVerdict CheckLength(const FieldSpec& spec, int length) {
    if (length <= 0 || spec.MAX_LEN <= 0) {
        return LengthVerdict::Fits;
    }
    if (spec.LENGTH_BYTES > 0) {
        return length > spec.MAX_LEN ? LengthVerdict::TooLong : LengthVerdict::Fits;
    }
    return length != spec.MAX_LEN ? LengthVerdict::WrongLength : LengthVerdict::Fits;
}

}  // namespace conform
