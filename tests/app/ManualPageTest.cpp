// The manual pages against the programs' own help: every command and option
// a program's --help names, and every exit code pelquinar-cli names, has its
// place in the page, so a new option cannot ship undocumented.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace pq {
namespace {

std::string HelpOf(const std::string& program) {
    std::string out;
    FILE* p = ::popen((program + " --help 2>&1").c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    const int status = ::pclose(p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << program << " --help";
    return out;
}

// The page's text as a reader sees the words: "\-" is "-", font changes
// and quotes around a macro's arguments are gone.
std::string PageText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string roff = ss.str();
    roff = std::regex_replace(roff, std::regex(R"(\\-)"), "-");
    roff = std::regex_replace(roff, std::regex(R"(\\f[BIRP])"), "");
    roff = std::regex_replace(roff, std::regex("\""), " ");
    return roff;
}

// The text of one section: from ".SH NAME" to the next ".SH".
std::string Section(const std::string& page, const std::string& name) {
    const std::string head = ".SH " + name + "\n";
    const size_t from = page.find(head);
    if (from == std::string::npos) return {};
    const size_t to = page.find("\n.SH ", from + head.size());
    return page.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

bool HasWord(const std::string& text, const std::string& word) {
    // Option and command names hold only letters and "-", neither special
    // in a pattern.
    const std::regex re("(^|[^A-Za-z0-9-])" + word + "($|[^A-Za-z0-9-])");
    return std::regex_search(text, re);
}

std::set<std::string> Options(const std::string& help) {
    std::set<std::string> found;
    const std::regex re(R"((^|[\s,\[])(--?[a-z][a-z-]*))");
    for (auto it = std::sregex_iterator(help.begin(), help.end(), re); it != std::sregex_iterator();
         ++it)
        found.insert((*it)[2]);
    return found;
}

// pelquinar-cli's commands: the first word of each line under "commands:".
std::set<std::string> Commands(const std::string& help) {
    std::set<std::string> found;
    const size_t from = help.find("commands:\n");
    const size_t to = help.find("\n\n", from);
    std::istringstream lines(help.substr(from, to - from));
    std::string line;
    const std::regex re(R"(^  ([a-z][a-z-]+)\s)");
    std::smatch m;
    while (std::getline(lines, line))
        if (std::regex_search(line, m, re)) found.insert(m[1]);
    return found;
}

struct Program {
    const char* binary;
    const char* page;
};

void PrintTo(const Program& p, std::ostream* os) { *os << p.page; }

class ManualPage : public ::testing::TestWithParam<Program> {};

TEST_P(ManualPage, NamesEveryOptionOfTheHelp) {
    const std::string help = HelpOf(GetParam().binary);
    const std::string page = PageText(std::string(PQ_MAN_DIR) + GetParam().page);
    ASSERT_FALSE(page.empty()) << GetParam().page;
    const std::set<std::string> options = Options(help);
    EXPECT_GE(options.size(), 4u) << help;
    const std::string described = Section(page, "OPTIONS") + Section(page, "COMMANDS");
    for (const std::string& option : options) {
        EXPECT_TRUE(HasWord(Section(page, "SYNOPSIS"), option) || HasWord(described, option))
            << option << " is not in " << GetParam().page;
    }
}

TEST_P(ManualPage, HasTheSectionsAReaderLooksFor) {
    const std::string page = PageText(std::string(PQ_MAN_DIR) + GetParam().page);
    for (const char* section :
         {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "SETTINGS", "FILES", "EXIT STATUS"})
        EXPECT_FALSE(Section(page, section).empty()) << section << " in " << GetParam().page;
    // Shared text is put in place when the build configures the pages.
    EXPECT_FALSE(std::regex_search(page, std::regex("@[A-Za-z_]+@")))
        << "an unreplaced @NAME@ in " << GetParam().page;
}

INSTANTIATE_TEST_SUITE_P(Programs, ManualPage,
                         ::testing::Values(Program{PQ_WINDOW_PATH, "pelquinar.1"},
                                           Program{PQ_CLI_PATH, "pelquinar-cli.1"}),
                         [](const auto& info) {
                             return std::string(info.param.page) == "pelquinar.1" ? "Window"
                                                                                  : "Cli";
                         });

TEST(ManualPageCli, DescribesEveryCommandAndExitCode) {
    const std::string help = HelpOf(PQ_CLI_PATH);
    const std::string page = PageText(std::string(PQ_MAN_DIR) + "pelquinar-cli.1");
    const std::set<std::string> commands = Commands(help);
    // The first and the last command of the usage: the help was read right.
    EXPECT_TRUE(commands.count("web") && commands.count("demo")) << help;
    const std::string described = Section(page, "COMMANDS");
    for (const std::string& command : commands) EXPECT_TRUE(HasWord(described, command)) << command;

    std::smatch m;
    ASSERT_TRUE(std::regex_search(help, m, std::regex(R"(Exit codes: ([^\n]*))"))) << help;
    const std::string codes = m[1];
    const std::string status = Section(page, "EXIT STATUS");
    int named = 0;
    const std::regex code(R"(\b(\d) )");
    for (auto it = std::sregex_iterator(codes.begin(), codes.end(), code);
         it != std::sregex_iterator(); ++it, ++named)
        EXPECT_NE(status.find(".B " + (*it)[1].str() + "\n"), std::string::npos)
            << "exit code " << (*it)[1] << " is not in EXIT STATUS";
    EXPECT_GE(named, 2) << codes;
}

}  // namespace
}  // namespace pq
