#pragma once

#include <string>
#include <vector>

#include "config_summary.h"
#include "vkstp/config_view.h"

// The encodings of a controller's link record in `velkctl config`: the
// columns of its field table, its identifier, bitmap and code page, and the
// combinations that cannot work.

// The controller's link record in the view, or null (the plain link).
const LinkRecord* ViewLinkOf(const ConfigView& view, const char* controllerId);

// "MTI_ENCODING BCD, BITMAP_ENCODING BINARY, CODE_PAGE 1047".
std::string HeadEncodingsText(const LinkRecord& link);

// The field table's extra heading and a field's extra columns.
std::string FieldEncodingsHeading();
std::string FieldEncodingsColumns(const LinkRecord& link, int fieldNo, const FieldSpec& spec);

// Fields whose encodings cannot carry what their configuration says: BCD for
// a FIELD_TYPE with letters or specials, a MAX_LEN above what the length
// prefix carries, a fixed BINARY field whose box would be longer than a
// value form can be.
void CheckFieldEncodings(const ConfigView& view, std::vector<ConfigWarning>& warnings);
