#include "textio/units.h"

#include <cerrno>
#include <filesystem>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <vector>

#include "textio/failure.h"

namespace textio {
namespace {

std::string UnitText(const char* what, int unit, const std::string& file) {
  return std::string(what) + ", unit " + std::to_string(unit) + ", file " + file;
}

[[noreturn]] void Fail(FailureNumber number, const char* what, int unit,
                       const std::string& file) {
  throw Failure(number, UnitText(what, unit, file));
}

// The open failure that matches the cause the system gave.
[[noreturn]] void FailOpen(int error, int unit, const std::string& file) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      Fail(FailureNumber::kPermission, "permission to access file denied", unit, file);
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
      Fail(FailureNumber::kFileName, "file name specification error", unit, file);
    default:
      Fail(FailureNumber::kOpen, "open failure", unit, file);
  }
}

std::string DropTrailingBlanks(std::string_view name) {
  std::size_t end = name.size();
  while (end > 0 && name[end - 1] == ' ') --end;
  return std::string(name.substr(0, end));
}

}  // namespace

Units::Units(std::istream& keyboard, std::ostream& screen, ConsoleSetup setup)
    : keyboard_is_terminal_(setup.keyboard_is_terminal) {
  inputs_[kKeyboard] = Input{&keyboard, nullptr, "stdin"};
  outputs_[kScreen] = Output{&screen, nullptr, "stdout", setup.screen_is_terminal, false};
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
  if (!*out.stream) Fail(FailureNumber::kWrite, "error during write", unit, out.name);
}

void Units::write_laid_out(int unit, const Layout& layout, std::initializer_list<Value> values) {
  Emit(unit, LayOut(layout, std::span<const Value>(values.begin(), values.size())));
}

void Units::write_free(int unit, std::initializer_list<Value> values) {
  LaidOut laid;
  laid.records.push_back(FreeRecord(std::span<const Value>(values.begin(), values.size())));
  Emit(unit, laid);
}

void Units::Flush(int unit, Output& out) {
  out.stream->flush();
  if (!*out.stream) Fail(FailureNumber::kWrite, "error during write", unit, out.name);
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

void Units::read_free(int unit, std::initializer_list<FreeTarget> targets) {
  const std::span<const FreeTarget> list(targets.begin(), targets.size());
  std::size_t next = 0;
  for (;;) {
    const std::string line = ReadRecord(unit);
    switch (ParseFreeLine(line, list, next)) {
      case FreeStatus::kDone:
        return;
      case FreeStatus::kNeedMore:
        continue;
      case FreeStatus::kSyntaxError:
        Fail(FailureNumber::kSyntax, "list-directed I/O syntax error", unit,
             InputUnit(unit).name);
      case FreeStatus::kConversionError:
        Fail(FailureNumber::kConversion, "input conversion error", unit, InputUnit(unit).name);
    }
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
  if (path.empty() || path.find('\0') != std::string::npos) {
    Fail(FailureNumber::kFileName, "file name specification error", unit, path);
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
    if (!file->is_open() && errno == ENOENT) {
      // A script that does not exist yet is created empty.
      std::ofstream create(path, std::ios::out | std::ios::app | std::ios::binary);
      if (!create.is_open()) FailOpen(errno, unit, path);
      create.close();
      errno = 0;
      file->open(path, std::ios::in | std::ios::binary);
    }
    if (!file->is_open()) FailOpen(errno, unit, path);
    Input in;
    in.stream = file.get();
    in.file = std::move(file);
    in.name = path;
    inputs_[unit] = std::move(in);
    return;
  }

  auto file = std::make_unique<std::ofstream>();
  errno = 0;
  file->open(path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!file->is_open()) FailOpen(errno, unit, path);
  Output out;
  out.stream = file.get();
  out.file = std::move(file);
  out.name = path;
  outputs_[unit] = std::move(out);
}

void Units::close_unit(int unit) {
  if (auto it = inputs_.find(unit); it != inputs_.end() && it->second.file) {
    it->second.file->close();
    inputs_.erase(it);
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
    if (entry.second.file) open.push_back(entry.first);
  }
  for (int unit : open) close_unit(unit);
  // A prompt still open on the screen gets its line end.
  for (auto& [unit, out] : outputs_) {
    FinishOpenRecord(out);
    Flush(unit, out);
  }
}

}  // namespace textio
