#pragma once

// The dissector's code, dissector_template.lua, embedded when the build is
// configured. It expects the table VELK that DissectorLua writes before it.
extern const char* const DISSECTOR_TEMPLATE;
