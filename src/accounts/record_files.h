#pragma once
// Where account records live: one file per account id in "\data\list".
#include <string>
#include <string_view>

#include "common/account_id.h"

namespace vidralo {

// The record folder under the program directory.
std::string recordFolder();

// The record file of `accountId`. Callers that write or delete the file check
// the id with isSafeAccountId first.
std::string recordPath(std::string_view accountId);

// A record file of the (safe) id exists but does not read as a record: not
// UTF-8 JSON, too large, or not a regular file.
bool hasUnreadableRecord(std::string_view accountId);

// The message shown when an id would leave the record folder.
inline constexpr std::string_view kUnsafeAccountIdMessage = "账号标识 不能包含 \"/\"、\"\\\" 或 \"..\"";

// The lowest id from 100 up that no file in the record folder carries yet.
std::string newAccountId();

}  // namespace vidralo
