#include "driver/kevrano.h"

#include <exception>
#include <memory>
#include <ostream>
#include <string>

#include "design/splenz.h"
#include "textio/failure.h"
#include "textio/layout.h"
#include "textio/prompts.h"

namespace driver {
namespace {

using textio::kKeyboard;
using textio::kReport;
using textio::kScreen;
using textio::kScript;
using textio::Layout;
using textio::PromptOf;
using textio::Question;

const Layout kEchoName("(A70)");

}  // namespace

void KEVRANO(textio::Units& io, const design::DesignOptions& options, const DesignDone& done) {
  // State that outlives a single design: the shared record, the four design
  // values lent to the design routine, and the design routine's own storage.
  textio::INPUTL inputl;
  float eps = 0.0f;
  int32_t npt = 0;
  float rlens = 0.0f;
  float edge = 0.0f;
  int32_t answer = 0;
  std::string script_name(textio::kNameLength, ' ');
  std::string report_name(textio::kNameLength, ' ');
  auto splenz = std::make_unique<design::SPLENZ>(io, inputl, options);

  // Where the answers come from; this answer is always typed.
  inputl.IUNIT = kKeyboard;
  io.write_laid_out(kScreen, PromptOf(Question::kFileInput));
  io.read_free(kKeyboard, {&answer});
  if (answer == 1) {
    io.write_laid_out(kScreen, PromptOf(Question::kScriptName));
    do {
      io.read_text_field(kKeyboard, script_name);
    } while (!io.open_answered(kKeyboard, kScript, script_name));
    inputl.IUNIT = kScript;
  }

  io.write_laid_out(kScreen, PromptOf(Question::kReportName));
  do {
    io.read_text_field(inputl.IUNIT, report_name);
    if (inputl.IUNIT == kScript) io.write_laid_out(kScreen, kEchoName, {report_name});
  } while (!io.open_answered(inputl.IUNIT, kReport, report_name));

  // Design after design.
  do {
    (*splenz)(eps, npt, rlens, edge);
    if (done) done(*splenz);
    io.write_laid_out(kScreen, PromptOf(Question::kAnother));
    try {
      io.read_free(inputl.IUNIT, {&answer});
    } catch (const textio::Failure& failure) {
      // End of input typed at the terminal here (Ctrl-D) follows a finished
      // design, so the run ends as if no other design were wanted. A script
      // that ends here is out of step and still fails.
      if (failure.number() != textio::FailureNumber::kEndOfFile ||
          !io.AsksAgain(inputl.IUNIT)) {
        throw;
      }
      answer = 0;
    }
    if (inputl.IUNIT == kScript) io.write_free(kScreen, {answer});
  } while (answer == 1);

  io.CloseAll();
}

int RunProgram(std::istream& keyboard, std::ostream& screen, std::ostream& err,
               textio::ConsoleSetup setup, const design::DesignOptions& options,
               const DesignDone& done) {
  textio::Units io(keyboard, screen, setup);
  std::string diagnostic;
  try {
    KEVRANO(io, options, done);
    return 0;
  } catch (const textio::Failure& failure) {
    diagnostic = failure.Diagnostic();
  } catch (const std::exception& e) {
    diagnostic = textio::Failure(textio::FailureNumber::kInternal,
                                 std::string("internal error: ") + e.what())
                     .Diagnostic();
  }
  // Everything finished reaches its file before the diagnostic is shown.
  io.FlushQuietly();
  err << diagnostic << '\n';
  err.flush();
  return 1;
}

}  // namespace driver
