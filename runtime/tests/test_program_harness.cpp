// The answer every window program gives its command line before the device
// starts.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "runtime/program_harness.h"

namespace {

struct CommandLineCase {
  std::vector<std::string> args;  // after the program's path
  harness::Takes takes;
  std::optional<int> answer;
  bool usageOnStdout;
  std::string onStderr;  // empty when nothing is written there
};

TEST(AnswerCommandLine, HelpAndUnwantedArgumentsAreAnsweredTheRestGoesOn) {
  using harness::Takes;
  const char* usage = "usage: Demo\n";
  const std::vector<CommandLineCase> cases = {
      {{}, Takes::kNothing, std::nullopt, false, ""},
      {{"--help"}, Takes::kNothing, 0, true, ""},
      {{"-h"}, Takes::kAnything, 0, true, ""},
      {{"--bogus"}, Takes::kNothing, 2, false, "Demo: unexpected argument --bogus\nusage: Demo\n"},
      {{"word"}, Takes::kNothing, 2, false, "Demo: unexpected argument word\nusage: Demo\n"},
      {{"word"}, Takes::kWords, std::nullopt, false, ""},
      {{"word", "-x"}, Takes::kWords, 2, false, "Demo: unexpected argument -x\nusage: Demo\n"},
      {{"--game", "9"}, Takes::kAnything, std::nullopt, false, ""},
      {{"--help", "more"}, Takes::kNothing, 2, false, "Demo: unexpected argument --help\nusage: Demo\n"},
  };
  for (const CommandLineCase& c : cases) {
    std::vector<std::string> words{"/some/folder/Demo"};
    words.insert(words.end(), c.args.begin(), c.args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const std::optional<int> answer =
        harness::AnswerCommandLine(static_cast<int>(words.size()), argv.data(), usage, c.takes);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string label = words.size() > 1 ? words[1] : "(none)";
    EXPECT_EQ(answer, c.answer) << label;
    EXPECT_EQ(out, c.usageOnStdout ? usage : "") << label;
    EXPECT_EQ(err, c.onStderr) << label;
  }
}

}  // namespace
