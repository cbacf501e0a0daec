#pragma once
// `vidralo --add-account FOLDER [--nickname NAME]`: the record that 添加账号
// followed by 修改账号信息 would leave (the lowest free id, FOLDER as its
// video folder, neutral per-account keys), written without a window. Prints
// the new id; bad input gets a message on standard error and
// kExitCommandFailed, with nothing written.
#include <optional>
#include <string>

namespace vidralo {

// The program directory is chosen already.
int runAddAccount(const std::string& folder, const std::optional<std::string>& nickname);

// Why `nickname` cannot be stored (empty when it can): it must be UTF-8 text
// of at most 64 characters without control characters.
std::string nicknameRefusal(const std::string& nickname);

}  // namespace vidralo
