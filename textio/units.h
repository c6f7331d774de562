#ifndef KEVRANO_TEXTIO_UNITS_H_
#define KEVRANO_TEXTIO_UNITS_H_

// The program's text units: the keyboard (5), the screen (6), the script of
// answers (50), the report (66) and the tor file (43), used by number. Every
// line the program reads or writes passes through the six operations of Units.
//
// Records end differently by destination. Files get every record whole,
// ending in CR LF. The screen, when standard output is a file or pipe, is
// treated the same way, except that a record left open by `$` (a prompt) gets
// no line end and the next record continues on its line. When standard output
// is a terminal, the first column of each record is a control column that is
// not shown if it holds a blank; a prompt leaves the cursor after it, and a
// record that follows an open prompt (rather than the user's Enter) starts on
// a new line.
//
// A read, write or open that fails throws textio::Failure with the message
// that ends the run. Only at a terminal, where the answers are typed, is a
// wrong answer mended instead: a number that cannot be read, a file name that
// is blank or names a file that cannot be opened, get one line saying what was
// wrong and the same prompt again (see AskAgain). A script, or answers fed
// from a file or pipe, must stop at the first answer out of step.

#include <array>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "textio/failure.h"
#include "textio/file_identity.h"
#include "textio/free_read.h"
#include "textio/layout.h"
#include "textio/replacing_file.h"

namespace textio {

inline constexpr int kKeyboard = 5;
inline constexpr int kScreen = 6;
inline constexpr int kScript = 50;
inline constexpr int kReport = 66;
inline constexpr int kTorFile = 43;

/// Length of the program's file-name answers.
inline constexpr int kNameLength = 70;

/// The record shared by the driver, the design routine and the export: where
/// answers come from, and the normal of the prescribed face at the ray being
/// traced (axial, radial, third; the third stays 0).
struct INPUTL {
  int32_t IUNIT = kKeyboard;
  std::array<float, 3> VN{0.0f, 0.0f, 0.0f};
};

/// How the console is connected.
struct ConsoleSetup {
  bool screen_is_terminal = false;    // first column is a control column
  bool keyboard_is_terminal = false;  // the user's Enter ends the prompt line
  // Every output file written whole or not at all (see ReplacingFile): the
  // old file is replaced when its unit is closed, and stays as it was when
  // the run fails first. For runs whose files are all named beforehand; the
  // dialogue writes its report record by record, as a script run relies on.
  bool files_whole = false;
};

class Units {
 public:
  Units(std::istream& keyboard, std::ostream& screen, ConsoleSetup setup);
  ~Units();
  Units(const Units&) = delete;
  Units& operator=(const Units&) = delete;

  /// Writes one or more records through the layout.
  void write_laid_out(int unit, const Layout& layout, std::initializer_list<Value> values = {});
  /// Writes the same records to each unit in turn, laying them out once.
  void write_laid_out(std::initializer_list<int> units, const Layout& layout,
                      std::initializer_list<Value> values = {});
  /// Reads values in free form from the next record(s) of the unit. At a
  /// terminal keyboard an answer that is no number, a number out of range, or
  /// more values than asked for (`2,54` for one number, a comma written for a
  /// decimal point) is asked again; the variables keep the values they had
  /// before it.
  void read_free(int unit, std::initializer_list<FreeTarget> targets);
  /// Writes one record rendered by the caller, as it is.
  void write_record(int unit, std::string record);
  /// Writes one list-directed record.
  void write_free(int unit, std::initializer_list<Value> values);
  /// Reads the next record into a 70-character field: cut after 70
  /// characters, or filled with blanks on the right.
  void read_text_field(int unit, std::string& field);
  /// Connects the unit to the named file (trailing blanks dropped): a script
  /// is read from its start; an output file is created or emptied, unless it
  /// is the very file another unit has open (also under another name or
  /// through a link), which fails and leaves the file as it was. A failed
  /// open names the system's reason.
  void open_text_unit(int unit, std::string_view name);
  /// Connects `unit` to a file name just read from `answer_unit`. Returns
  /// false when it could not be opened and the question has been asked again
  /// at the terminal (see AskAgain): the caller then reads the new name.
  bool open_answered(int answer_unit, int unit, std::string_view name);
  /// Writes out what is pending and releases the file.
  void close_unit(int unit);

  /// True when answers read from `unit` are typed at a terminal, so that a
  /// wrong one can be asked again.
  bool AsksAgain(int unit) const { return unit == kKeyboard && keyboard_is_terminal_; }
  /// After a failed read or open of an answer from `unit`: when the unit
  /// asks again and the failure can be mended by a new answer, shows one line
  /// saying what was wrong and the last prompt again, and returns true; the
  /// caller then reads the answer anew. Otherwise returns false.
  bool AskAgain(int unit, const Failure& failure);

  /// Closes every file unit at the normal end of a run; a record still open
  /// on any unit gets its line end.
  void CloseAll();
  /// Pushes whatever is written to its file or screen, ending a record still
  /// open, and ignores failures; used just before a diagnostic ends the run.
  void FlushQuietly() noexcept;

  /// Confines every file the run opens to `folder`: a name is reduced to one
  /// file name inside it (slashes become underscores). For runs on answers of
  /// unknown origin, such as fuzzing, that must not touch other files.
  void ConfineFilesTo(std::string folder) { confine_to_ = std::move(folder); }

 private:
  struct Output {
    std::ostream* stream = nullptr;
    std::unique_ptr<std::ofstream> file;
    std::string name;
    bool terminal = false;
    bool open_record = false;  // the last record was left open by `$`
    std::optional<FileIdentity> id;
    std::unique_ptr<ReplacingFile> whole;  // instead of `file` when written whole
  };
  struct Input {
    std::istream* stream = nullptr;
    std::unique_ptr<std::ifstream> file;
    std::string name;
    std::optional<FileIdentity> id;
  };

  [[noreturn]] static void FailWrite(int unit, const Output& out);
  // Fails when `path` is a file that another unit has open.
  void RefuseOpenFile(int unit, const std::string& path) const;

  Output& OutputUnit(int unit);
  Input& InputUnit(int unit);
  void Emit(int unit, const LaidOut& laid);
  void Flush(int unit, Output& out);
  static void FinishOpenRecord(Output& out);
  void FlushAll();
  std::string ReadRecord(int unit);
  // Reads the targets; with `count_extra`, returns the line to show when the
  // last line read held more values than the question asks for.
  std::optional<std::string> ReadFree(int unit, std::span<const FreeTarget> targets,
                                      bool count_extra);
  // Shows `line` and the last prompt again on the screen.
  void ShowAndAskAgain(const std::string& line);

  std::map<int, Output> outputs_;
  std::map<int, Input> inputs_;
  bool keyboard_is_terminal_ = false;
  std::string confine_to_;
  bool outputs_whole_ = false;
  std::string last_prompt_;  // the last record the screen left open
  std::string record_buffer_;  // the records of the write under way
};

}  // namespace textio

#endif  // KEVRANO_TEXTIO_UNITS_H_
