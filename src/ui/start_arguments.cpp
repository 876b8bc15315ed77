#include "ui/start_arguments.h"

namespace varnel::ui {

StartArguments parseStartArguments(const std::vector<std::string>& arguments) {
  StartArguments start;
  bool options = true;
  std::vector<std::string> files;
  for (const std::string& argument : arguments) {
    if (options && argument == "--") {
      options = false;
    } else if (options && (argument == "-h" || argument == "--help")) {
      return {StartArguments::Action::kHelp, "", ""};
    } else if (options && argument == "--version") {
      return {StartArguments::Action::kVersion, "", ""};
    } else if (options && argument.size() > 1 && argument[0] == '-') {
      return {StartArguments::Action::kWrong, "", "unknown option " + argument};
    } else {
      files.push_back(argument);
    }
  }
  if (files.size() > 1) return {StartArguments::Action::kWrong, "", "one FILE at most"};
  if (!files.empty()) start.file = files.front();
  return start;
}

}  // namespace varnel::ui
