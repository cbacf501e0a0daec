#include "app/runtime/history_command.h"

#include "app/runtime/exit_codes.h"
#include "history/history_listing.h"
#include "history/history_store.h"

namespace vidralo {

int printHistory(const HistoryRequest& request, std::FILE* out, std::FILE* err) {
  const std::string path = historyDatabasePath();
  if (request.csv) std::fprintf(out, "%s\n", historyCsvHeader().c_str());
  std::string error;
  const HistoryRead read = readHistory(path, request.filter, [&](const HistoryRow& row) {
    const std::string line = request.csv ? historyCsvLine(row) : historyTextLine(row);
    std::fprintf(out, "%s\n", line.c_str());
  }, error);
  std::fflush(out);
  switch (read) {
    case HistoryRead::Read: return kExitOk;
    case HistoryRead::Missing: std::fprintf(err, "还没有发布历史：%s\n", path.c_str()); return kExitOk;
    case HistoryRead::Unreadable: break;
  }
  std::fprintf(err, "发布历史无法读取：%s（%s）\n", path.c_str(), error.c_str());
  return kExitCommandFailed;
}

}  // namespace vidralo
