#include "ui/start_arguments.h"

#include <gtest/gtest.h>

namespace varnel::ui {
namespace {

TEST(StartArguments, AFileOptionsAndMistakes) {
  using Action = StartArguments::Action;
  struct Case {
    std::vector<std::string> arguments;
    Action action;
    std::string file;
  };
  for (const Case& c : {
           Case{{}, Action::kRun, ""},
           Case{{"card.rom"}, Action::kRun, "card.rom"},
           Case{{"--", "-card.rom"}, Action::kRun, "-card.rom"},
           Case{{"-"}, Action::kRun, "-"},
           Case{{"card.rom", "--help"}, Action::kHelp, ""},
           Case{{"-h"}, Action::kHelp, ""},
           Case{{"--version"}, Action::kVersion, ""},
           Case{{"--", "--help"}, Action::kRun, "--help"},
           Case{{"-x"}, Action::kWrong, ""},
           Case{{"a.rom", "b.rom"}, Action::kWrong, ""},
       }) {
    const StartArguments start = parseStartArguments(c.arguments);
    EXPECT_EQ(start.action, c.action) << testing::PrintToString(c.arguments);
    EXPECT_EQ(start.file, c.file) << testing::PrintToString(c.arguments);
    EXPECT_EQ(start.error.empty(), c.action != Action::kWrong);
  }
}

}  // namespace
}  // namespace varnel::ui
