#include "textio/units.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <system_error>
#include <type_traits>
#include <variant>
#include <vector>

#include "textio/failure.h"

namespace textio {
namespace {

std::string UnitText(const char* what, int unit, const std::string& file) {
  return std::string(what) + ", unit " + std::to_string(unit) + ", file " + file;
}

[[noreturn]] void Fail(FailureNumber number, const char* what, int unit,
                       const std::string& file, std::string explanation = {}) {
  throw Failure(number, UnitText(what, unit, file), std::move(explanation));
}

// The open failure that matches the cause the system gave, with the system's
// own words for it.
[[noreturn]] void FailOpen(int error, int unit, const std::string& file) {
  const std::string reason = error != 0 ? ": " + std::generic_category().message(error) : "";
  FailureNumber number = FailureNumber::kOpen;
  const char* what = "open failure";
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      number = FailureNumber::kPermission;
      what = "permission to access file denied";
      break;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
      number = FailureNumber::kFileName;
      what = "file name specification error";
      break;
    default:
      break;
  }
  throw Failure(number, UnitText(what, unit, file) + reason, "Cannot open " + file + reason);
}

// What each file unit holds, as a clash names it.
const char* Role(int unit) {
  switch (unit) {
    case kScript:
      return "script of answers";
    case kReport:
      return "report file";
    case kTorFile:
      return "tor file";
    default:
      return "file of another unit";
  }
}

// A number as a word, for counts a user reads at a glance.
std::string CountWord(std::size_t n) {
  constexpr const char* kWords[] = {"no",  "one",   "two",   "three", "four", "five",
                                    "six", "seven", "eight", "nine",  "ten"};
  return n < std::size(kWords) ? kWords[n] : std::to_string(n);
}

// The line shown when an answer holds more values than the question asks
// for; nothing when it holds no more. A comma among them is most likely a
// decimal comma.
std::optional<std::string> ExtraValues(std::string_view answer, std::size_t wanted) {
  const std::size_t held = CountFreeValues(answer, wanted + 1);
  if (held <= wanted) return std::nullopt;
  std::size_t begin = 0;
  std::size_t end = answer.size();
  while (begin < end && (answer[begin] == ' ' || answer[begin] == '\t')) ++begin;
  while (end > begin && (answer[end - 1] == ' ' || answer[end - 1] == '\t')) --end;
  const std::string_view shown = answer.substr(begin, end - begin);
  const std::size_t all = CountFreeValues(answer, 1000);
  std::string line = std::string(shown) + " holds " + CountWord(all) + " values; ";
  if (shown.find(',') != std::string_view::npos) {
    line += "a decimal point, not a comma, separates the decimals";
  } else {
    line += "the question asks for " + CountWord(wanted);
  }
  return line;
}

std::string DropTrailingBlanks(std::string_view name) {
  std::size_t end = name.size();
  while (end > 0 && name[end - 1] == ' ') --end;
  return std::string(name.substr(0, end));
}

}  // namespace

Units::Units(std::istream& keyboard, std::ostream& screen, ConsoleSetup setup)
    : keyboard_is_terminal_(setup.keyboard_is_terminal), outputs_whole_(setup.files_whole) {
  inputs_[kKeyboard] = Input{&keyboard, nullptr, "stdin", std::nullopt};
  outputs_[kScreen] =
      Output{&screen, nullptr, "stdout", setup.screen_is_terminal, false, std::nullopt, nullptr};
}

Units::~Units() { FlushQuietly(); }

Units::Output& Units::OutputUnit(int unit) {
  auto it = outputs_.find(unit);
  if (it == outputs_.end()) {
    throw std::logic_error("write to unit " + std::to_string(unit) + ", which is not open");
  }
  return it->second;
}

Units::Input& Units::InputUnit(int unit) {
  auto it = inputs_.find(unit);
  if (it == inputs_.end()) {
    throw std::logic_error("read from unit " + std::to_string(unit) + ", which is not open");
  }
  return it->second;
}

void Units::Emit(int unit, const LaidOut& laid) {
  Output& out = OutputUnit(unit);
  if (unit == kScreen && laid.leave_open) last_prompt_ = laid.records.back();
  std::string text;
  for (std::size_t i = 0; i < laid.records.size(); ++i) {
    const std::string& record = laid.records[i];
    const bool stays_open = laid.leave_open && i + 1 == laid.records.size();
    if (out.terminal) {
      // A record after an open prompt starts on a line of its own; a blank
      // in the control column is not shown.
      if (out.open_record) text += '\n';
      if (!record.empty() && record[0] == ' ') {
        text.append(record, 1);
      } else {
        text += record;
      }
      if (!stays_open) text += '\n';
    } else {
      text += record;
      if (!stays_open) text += "\r\n";
    }
    out.open_record = stays_open;
  }
  out.stream->write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!*out.stream) FailWrite(unit, out);
}

void Units::write_laid_out(int unit, const Layout& layout, std::initializer_list<Value> values) {
  write_laid_out({unit}, layout, values);
}

void Units::write_laid_out(std::initializer_list<int> units, const Layout& layout,
                           std::initializer_list<Value> values) {
  const std::span<const Value> list(values.begin(), values.size());
  // Files and pipes take the records as they are, each ended by CR LF: they
  // are laid out once, straight into one buffer kept from write to write, and
  // the same bytes go to each such unit in turn.
  bool laid_out = false;
  std::size_t last = 0;  // where the last record begins in the buffer
  const bool stays_open = layout.leaves_open();
  for (const int unit : units) {
    Output& out = OutputUnit(unit);
    if (out.terminal) {
      Emit(unit, LayOut(layout, list));
      continue;
    }
    if (!laid_out) {
      record_buffer_.clear();
      last = AppendLaidOut(layout, list, "\r\n", record_buffer_);
      if (!stays_open) record_buffer_ += "\r\n";
      laid_out = true;
    }
    if (unit == kScreen && stays_open) last_prompt_.assign(record_buffer_, last);
    out.open_record = stays_open;
    out.stream->write(record_buffer_.data(), static_cast<std::streamsize>(record_buffer_.size()));
    if (!*out.stream) Fail(FailureNumber::kWrite, "error during write", unit, out.name);
  }
}

void Units::write_record(int unit, std::string record) {
  LaidOut laid;
  laid.records.push_back(std::move(record));
  Emit(unit, laid);
}

void Units::write_free(int unit, std::initializer_list<Value> values) {
  LaidOut laid;
  laid.records.push_back(FreeRecord(std::span<const Value>(values.begin(), values.size())));
  Emit(unit, laid);
}

void Units::Flush(int unit, Output& out) {
  out.stream->flush();
  if (!*out.stream) FailWrite(unit, out);
}

void Units::FailWrite(int unit, const Output& out) {
  const int error = out.whole ? out.whole->error() : 0;
  std::string reason = error != 0 ? ": " + std::generic_category().message(error) : "";
  throw Failure(FailureNumber::kWrite, UnitText("error during write", unit, out.name) + reason);
}

void Units::FlushAll() {
  for (auto& [unit, out] : outputs_) Flush(unit, out);
}

void Units::FinishOpenRecord(Output& out) {
  if (!out.open_record) return;
  out.open_record = false;
  const char* end = out.terminal ? "\n" : "\r\n";
  out.stream->write(end, static_cast<std::streamsize>(std::char_traits<char>::length(end)));
}

void Units::FlushQuietly() noexcept {
  for (auto& entry : outputs_) {
    try {
      FinishOpenRecord(entry.second);
      entry.second.stream->flush();
    } catch (...) {  // a stream set to throw: nothing more can be saved
    }
  }
}

std::string Units::ReadRecord(int unit) {
  Input& in = InputUnit(unit);
  // Everything finished so far reaches its file and the prompt the screen
  // before the program waits for an answer.
  FlushAll();
  std::string line;
  if (!std::getline(*in.stream, line)) {
    Fail(FailureNumber::kEndOfFile, "end-of-file during read", unit, in.name);
  }
  // A script written with CR LF line ends reads the same as one with LF.
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (unit == kKeyboard && keyboard_is_terminal_) {
    // The user's Enter has ended the prompt line on the screen.
    auto screen = outputs_.find(kScreen);
    if (screen != outputs_.end()) screen->second.open_record = false;
  }
  return line;
}

std::optional<std::string> Units::ReadFree(int unit, std::span<const FreeTarget> targets,
                                           bool count_extra) {
  std::size_t next = 0;
  for (;;) {
    const std::size_t first = next;
    const std::string line = ReadRecord(unit);
    switch (ParseFreeLine(line, targets, next)) {
      case FreeStatus::kDone:
        if (count_extra) return ExtraValues(line, targets.size() - first);
        return std::nullopt;
      case FreeStatus::kNeedMore:
        continue;
      case FreeStatus::kSyntaxError:
        Fail(FailureNumber::kSyntax, "list-directed I/O syntax error", unit,
             InputUnit(unit).name, "That answer is not the number asked for");
      case FreeStatus::kConversionError:
        Fail(FailureNumber::kConversion, "input conversion error", unit, InputUnit(unit).name,
             "That number lies beyond the range of the answer");
    }
  }
}

void Units::read_free(int unit, std::initializer_list<FreeTarget> targets) {
  const std::span<const FreeTarget> list(targets.begin(), targets.size());
  if (!AsksAgain(unit)) {
    ReadFree(unit, list, false);
    return;
  }
  // A wrong answer may have filled some variables before it failed; they get
  // back the values they had, so that a null value in the new answer keeps
  // what it would have kept in a clean run.
  std::vector<std::variant<int32_t, float>> before;
  for (const FreeTarget& target : list) {
    std::visit([&before](auto* variable) { before.emplace_back(*variable); }, target);
  }
  for (;;) {
    try {
      const std::optional<std::string> extra = ReadFree(unit, list, true);
      if (!extra) return;
      ShowAndAskAgain(*extra);
    } catch (const Failure& failure) {
      if (!AskAgain(unit, failure)) throw;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
      std::visit(
          [&](auto* variable) {
            *variable = std::get<std::remove_reference_t<decltype(*variable)>>(before[i]);
          },
          list[i]);
    }
  }
}

bool Units::AskAgain(int unit, const Failure& failure) {
  if (!AsksAgain(unit) || failure.explanation().empty()) return false;
  ShowAndAskAgain(failure.explanation() + "; answer again");
  return true;
}

void Units::ShowAndAskAgain(const std::string& text) {
  LaidOut line;
  line.records.push_back(" " + Failure::OneLine(text));
  Emit(kScreen, line);
  if (!last_prompt_.empty()) {
    LaidOut prompt;
    prompt.records.push_back(last_prompt_);
    prompt.leave_open = true;
    Emit(kScreen, prompt);
  }
}

void Units::read_text_field(int unit, std::string& field) {
  std::string line = ReadRecord(unit);
  line.resize(kNameLength, ' ');
  field = std::move(line);
}

void Units::open_text_unit(int unit, std::string_view name) {
  if (unit == kKeyboard || unit == kScreen) {
    throw std::logic_error("the console units cannot be opened to a file");
  }
  if (inputs_.count(unit) != 0 || outputs_.count(unit) != 0) close_unit(unit);
  std::string path = DropTrailingBlanks(name);
  if (path.empty()) {
    Fail(FailureNumber::kFileName, "file name specification error", unit, path,
         "A file name is needed");
  }
  if (path.find('\0') != std::string::npos) {
    Fail(FailureNumber::kFileName, "file name specification error", unit, path,
         "A file name cannot hold a NUL character");
  }
  if (!confine_to_.empty()) {
    for (char& c : path) {
      if (c == '/') c = '_';
    }
    if (path == "." || path == "..") path = "_";
    path = confine_to_ + "/" + path;
  }
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) FailOpen(EISDIR, unit, path);

  if (unit == kScript) {
    auto file = std::make_unique<std::ifstream>();
    errno = 0;
    file->open(path, std::ios::in | std::ios::binary);
    if (!file->is_open()) FailOpen(errno, unit, path);
    Input in;
    in.stream = file.get();
    in.file = std::move(file);
    in.name = path;
    in.id = IdentifyName(path);
    inputs_[unit] = std::move(in);
    return;
  }

  // Emptying a file another unit reads or writes would lose it: the script
  // the answers come from, or the report the tor file is named after.
  RefuseOpenFile(unit, path);
  Output out;
  out.name = path;
  if (outputs_whole_) {
    // The file the name reaches now, or will reach once the unit is closed.
    out.id = IdentifyName(path);
    int error = 0;
    out.whole = ReplacingFile::Open(path, &error);
    if (!out.whole) FailOpen(error, unit, path);
    out.stream = &out.whole->stream();
  } else {
    auto file = std::make_unique<std::ofstream>();
    errno = 0;
    file->open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file->is_open()) FailOpen(errno, unit, path);
    out.stream = file.get();
    out.file = std::move(file);
    out.id = IdentifyName(path);
  }
  outputs_[unit] = std::move(out);
}

bool Units::open_answered(int answer_unit, int unit, std::string_view name) {
  try {
    open_text_unit(unit, name);
    return true;
  } catch (const Failure& failure) {
    if (!AskAgain(answer_unit, failure)) throw;
    return false;
  }
}

void Units::RefuseOpenFile(int unit, const std::string& path) const {
  // Only a file that holds data can be lost by writing it: two units on one
  // device (a report and a tor file both sent to /dev/null) do no harm.
  const std::optional<FileIdentity> id = IdentifyName(path);
  if (!id) return;
  auto refuse = [&](int other) {
    throw Failure(FailureNumber::kOpen,
                  UnitText("open failure", unit, path) + ": the same file as the " +
                      Role(other) + ", unit " + std::to_string(other),
                  "Cannot write " + path + ": it is the " + Role(other));
  };
  for (const auto& [other, in] : inputs_) {
    if (other != unit && in.id == id) refuse(other);
  }
  for (const auto& [other, out] : outputs_) {
    if (other != unit && out.id == id) refuse(other);
  }
}

void Units::close_unit(int unit) {
  if (auto it = inputs_.find(unit); it != inputs_.end() && it->second.file) {
    it->second.file->close();
    inputs_.erase(it);
    return;
  }
  if (auto it = outputs_.find(unit); it != outputs_.end() && it->second.whole) {
    Output& out = it->second;
    FinishOpenRecord(out);
    int error = 0;
    const bool written = out.stream->flush() && out.whole->Commit(&error);
    if (!written && error == 0) error = out.whole->error();
    const std::string file_name = out.name;
    outputs_.erase(it);
    if (!written) {
      const std::string reason = error != 0 ? ": " + std::generic_category().message(error) : "";
      throw Failure(FailureNumber::kWrite,
                    UnitText("error during write", unit, file_name) + reason);
    }
    return;
  }
  if (auto it = outputs_.find(unit); it != outputs_.end() && it->second.file) {
    Output& out = it->second;
    FinishOpenRecord(out);
    out.file->close();
    const bool failed = out.file->fail();
    const std::string file_name = out.name;
    outputs_.erase(it);
    if (failed) Fail(FailureNumber::kWrite, "error during write", unit, file_name);
  }
}

void Units::CloseAll() {
  std::vector<int> open;
  for (const auto& entry : inputs_) {
    if (entry.second.file) open.push_back(entry.first);
  }
  for (const auto& entry : outputs_) {
    if (entry.second.file || entry.second.whole) open.push_back(entry.first);
  }
  for (int unit : open) close_unit(unit);
  // A prompt still open on the screen gets its line end.
  for (auto& [unit, out] : outputs_) {
    FinishOpenRecord(out);
    Flush(unit, out);
  }
}

}  // namespace textio
