#pragma once

#include <array>
#include <string>

#include "diag/message_fields.h"
#include "vkstp/link_record.h"

// The fields of a message to send, given as N=VALUE arguments or taken from
// a message that was read, in storage of their own: the values outlive the
// port they were read from. Field N is the slot number: for ISO 8583 0 is the
// message identifier and 2 to 128 the data elements; for ZTR 4 to 64 are the
// fields of ZtrFieldTable (the length, hash key and version are computed).
class FieldValues {
  public:
    explicit FieldValues(bool ztr) : ztr_(ztr) {}

    // Whether an argument has the N=VALUE form (and is no file name).
    static bool IsFieldArgument(const std::string& argument);
    // The bytes a value given on the command line stands for: each "\xHH"
    // (two hexadecimal digits, either case) is the byte HH, as `velkctl show`
    // prints bytes; every other character, a backslash not so followed
    // included, stands for itself.
    static std::string Unescape(const std::string& text);
    // Sets or, with an empty value, clears field N, its value unescaped.
    // False with the reason in *error for a field number the format has no
    // slot for.
    bool Set(const std::string& argument, std::string* error);
    // Copies every present slot of a received message.
    void TakeFrom(const MessageFields& fields);
    bool empty() const;
    // The controller's link record (null: the plain link), once the
    // configuration is loaded: a chip data field whose slot holds its wire
    // bytes (FieldShowsTlvAsHex) takes its value in hexadecimal, as the
    // dialog's box does; a value that is not hexadecimal, or was read from
    // a message, stands as it is.
    void UseLink(const LinkRecord* link) { link_ = link; }
    // Slots pointing into the values; valid until the next change.
    const MessageFields* fields();

  private:
    bool ztr_;
    std::array<std::string, MESSAGE_SLOTS> values_{};
    std::array<std::string, MESSAGE_SLOTS> wire_{};  // chip data given in hexadecimal, as bytes
    std::array<bool, MESSAGE_SLOTS> typed_{};        // given as N=VALUE, not read from a file
    const LinkRecord* link_ = nullptr;
    MessageFields slots_{};
};
