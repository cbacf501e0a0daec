#include "app/headless/add_account_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "accounts/account_record.h"
#include "accounts/record_files.h"
#include "app/runtime/exit_codes.h"
#include "common/gbk.h"

namespace vidralo {
namespace {

constexpr std::size_t kMaxNicknameCharacters = 64;

int refuse(const std::string& message) {
  std::fprintf(stderr, "%s\n", message.c_str());
  return kExitCommandFailed;
}

std::size_t characterCount(const std::string& utf8) {
  std::size_t count = 0;
  for (const char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

// Takes the lowest free id by creating its record file exclusively, so that
// two commands run at once never get the same id.
std::string reserveAccountId() {
  std::error_code error;
  std::filesystem::create_directories(recordFolder(), error);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string id = newAccountId();
    const int fd = ::open(recordPath(id).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return id;
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

}  // namespace

std::string nicknameRefusal(const std::string& nickname) {
  if (nickname.empty()) return "昵称不能为空";
  if (!isValidUtf8(nickname)) return "昵称不是 UTF-8 文本";
  for (const char c : nickname)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "昵称不能包含控制字符";
  if (characterCount(nickname) > kMaxNicknameCharacters) return "昵称不能超过 64 个字符";
  return {};
}

int runAddAccount(const std::string& folder, const std::optional<std::string>& nickname) {
  std::error_code error;
  if (folder.empty() || !std::filesystem::exists(folder, error)) return refuse("素材目录不存在：" + folder);
  if (!std::filesystem::is_directory(folder, error)) return refuse("素材目录不是目录：" + folder);
  if (nickname) {
    if (const std::string refusal = nicknameRefusal(*nickname); !refusal.empty()) return refuse(refusal);
  }
  const std::string absolute = std::filesystem::absolute(folder, error).lexically_normal().string();
  const std::string id = reserveAccountId();
  if (id.empty()) return refuse("账号记录无法写入：" + recordFolder());

  AccountRecord record;
  record.setText(recordKey::nickname, nickname ? *nickname : std::string(kNicknamePending));
  record.setText(recordKey::folder, absolute);
  record.setText(recordKey::accountId, id);
  record.setInteger(recordKey::category, 0);
  record.setInteger(recordKey::subCategory, 0);
  record.setText(recordKey::tags, "");
  record.setText(recordKey::description, "");
  if (!record.save(recordPath(id))) {
    std::filesystem::remove(recordPath(id), error);
    return refuse("账号记录无法写入：" + recordPath(id));
  }
  std::printf("%s\n", id.c_str());
  std::fflush(stdout);
  return kExitOk;
}

}  // namespace vidralo
