#pragma once

#include <string>
#include <vector>

#include "conform/findings.h"
#include "diag/message_fields.h"
#include "ui/script/script_condition.h"

// What `velkctl send --expect` asks of each response: conditions of the
// operator script's grammar (39=00, 38!=, 4<=000000100000, 41=TERM*), each
// about one field of the response as velkctl show prints it.
class ResponseExpectations {
  public:
    // Adds one; false with the reason when it is not a field condition.
    bool Add(const std::string& text, std::string* why);
    bool empty() const { return conditions_.empty(); }
    // Clears out and adds one finding for each expectation the response does
    // not meet: field N is "VALUE" (or absent), expected CONDITION. Card data
    // in the values is masked when DUMP_MASK_PAN is on.
    void Check(const MessageFields& response, conform::Findings& out) const;
    // The conditions as given, separated by blanks.
    const std::string& written() const { return written_; }

  private:
    std::vector<ui::ScriptCondition> conditions_;
    std::vector<std::string> texts_;
    std::string written_;
};
