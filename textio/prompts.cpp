#include "textio/prompts.h"

#include <array>
#include <string>

namespace textio {
namespace {

constexpr std::size_t kQuestions = static_cast<std::size_t>(Question::kAnother) + 1;

// One prompt, and the text of its last record, by which it is recognised.
struct Prompt {
  Layout layout;
  std::string open_record;
};

Prompt MakePrompt(const char* notation) {
  Prompt prompt{Layout(notation), {}};
  // The texts after the last record break.
  for (const Element& e : prompt.layout.elements()) {
    if (e.kind == Element::Kind::kSlash) prompt.open_record.clear();
    if (e.kind == Element::Kind::kText) prompt.open_record += e.text;
  }
  return prompt;
}

// Indexed by Question.
const std::array<Prompt, kQuestions>& Prompts() {
  static const std::array<Prompt, kQuestions> kPrompts = {
      MakePrompt("(' Zoned Lens design; Enter 1 for file input ',$)"),
      MakePrompt("(' Enter file name ',$)"),
      MakePrompt("(' Enter output file name ',$)"),
      MakePrompt("(' Spherical or Flat Surface Lens Design',"
                 "/,' Enter specify 1 inner, 2 outer surface ',$)"),
      MakePrompt("(' Enter Lens Dielectric Constant ',$)"),
      MakePrompt("(' Enter Lens Radius, Edge Dist. from Feed ',$)"),
      MakePrompt("(' Enter edge thickness along ray ',$)"),
      MakePrompt("(' Enter Specified Surface: 1)Flat, 2)Spherical ',$)"),
      MakePrompt("(' Enter Distance from Feed to Sphere Center ',$)"),
      MakePrompt(
          "(' Center Thickness:                    ',F8.3,/,' Enter Design Radial Step Size ',$)"),
      MakePrompt("(' Enter operating wavelength ',$)"),
      MakePrompt("(' Zoning sum of feed and radiating surfaces',"
                 "/,' Enter zoning on feed surface (0 to 1, 1 all on feed side) ',$)"),
      MakePrompt("(' Enter minimum path length in zoning ',$)"),
      MakePrompt("(' Enter 1 to write CHAMP tor file of design ',$)"),
      MakePrompt("(' CHAMP tor file of lens design; Enter file ',$)"),
      MakePrompt("(' Enter units: 1 in., 2 ft., 3 mm, 4 m ',$)"),
      MakePrompt("(' Enter Lens axis offset ',$)"),
      MakePrompt("(' Enter 1 for another Design ',$)"),
  };
  return kPrompts;
}

}  // namespace

const Layout& PromptOf(Question question) {
  return Prompts().at(static_cast<std::size_t>(question)).layout;
}

std::optional<Question> QuestionAsked(std::string_view screen) {
  const auto& prompts = Prompts();
  for (std::size_t i = 0; i < prompts.size(); ++i) {
    if (screen.ends_with(prompts[i].open_record)) return static_cast<Question>(i);
  }
  return std::nullopt;
}

}  // namespace textio
