// The settings folder the real program picks, run as a separate process with
// its own environment: XDG_CONFIG_HOME, HOME and portable mode.

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace pw {
namespace {

namespace fs = std::filesystem;

struct Process {
    int code = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs `program` with only the given environment variables (and PATH).
Process RunProgram(const test::TempDir& scratch, const std::string& program, const std::vector<std::string>& env,
    const std::vector<std::string>& args)
{
    std::string command = "env -i PATH=/usr/bin:/bin";
    for (const auto& assignment : env)
        command += " " + Quote(assignment);
    command += " " + Quote(program);
    for (const auto& arg : args)
        command += " " + Quote(arg);
    command += " >" + Quote(scratch.file("out")) + " 2>" + Quote(scratch.file("err")) + " </dev/null";
    const int status = std::system(command.c_str());
    Process p;
    p.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    p.out = Slurp(scratch.file("out"));
    p.err = Slurp(scratch.file("err"));
    return p;
}

mode_t ModeOf(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

// A copy of the built program in a folder of its own, so that what appears
// beside it can be checked.
std::string CopyProgram(const test::TempDir& dir, const std::string& folder)
{
    fs::create_directories(dir.file(folder));
    const std::string copy = dir.file(folder + "/pagewick-cli");
    fs::copy_file(PAGEWICK_CLI, copy);
    return copy;
}

TEST(CliSettingsFolder, XdgConfigHomeAndHome)
{
    test::TempDir dir;
    const std::string program = CopyProgram(dir, "bin");
    const std::string config = dir.file("config");

    const Process shown
        = RunProgram(dir, program, { "XDG_CONFIG_HOME=" + config, "HOME=" + dir.file("home") }, { "config-dir" });
    ASSERT_EQ(shown.code, 0) << shown.err;
    EXPECT_EQ(shown.out, config + "/pagewick\n");
    EXPECT_TRUE(fs::is_directory(config + "/pagewick"));
    EXPECT_EQ(ModeOf(config + "/pagewick"), 0700u);
    EXPECT_FALSE(fs::exists(dir.file("home")));

    // A command that writes the catalogue writes it there, not beside the program.
    const Process added = RunProgram(
        dir, program, { "XDG_CONFIG_HOME=" + config }, { "catalogue", "add", "--name", "Banner", "--type", "x" });
    ASSERT_EQ(added.code, 0) << added.err;
    EXPECT_TRUE(fs::exists(config + "/pagewick/ads.ini"));
    for (const auto& entry : fs::directory_iterator(dir.file("bin")))
        EXPECT_EQ(entry.path().filename(), "pagewick-cli") << "written beside the program";
    const Process listed = RunProgram(dir, program, { "XDG_CONFIG_HOME=" + config }, { "catalogue", "list" });
    EXPECT_EQ(listed.out.rfind("Banner\t", 0), 0u) << listed.out << listed.err;

    // Without XDG_CONFIG_HOME (or with a relative one) the folder is ~/.config/pagewick.
    for (const std::string& xdg : { std::string(), std::string("XDG_CONFIG_HOME=relative/conf") }) {
        std::vector<std::string> env = { "HOME=" + dir.file("home") };
        if (!xdg.empty())
            env.push_back(xdg);
        const Process home = RunProgram(dir, program, env, { "config-dir" });
        EXPECT_EQ(home.code, 0) << home.err;
        EXPECT_EQ(home.out, dir.file("home") + "/.config/pagewick\n") << xdg;
    }
    EXPECT_EQ(ModeOf(dir.file("home/.config")), 0700u);

    // --dir wins over the rule.
    EXPECT_EQ(
        RunProgram(dir, program, { "XDG_CONFIG_HOME=" + config }, { "config-dir", "--dir", dir.file("bin") }).out,
        dir.file("bin") + "\n");

    // A settings folder that cannot be made is a file error.
    std::ofstream(dir.file("blocker")) << "x";
    const Process blocked
        = RunProgram(dir, program, { "XDG_CONFIG_HOME=" + dir.file("blocker") }, { "config-dir" });
    EXPECT_EQ(blocked.code, 3);
    EXPECT_EQ(blocked.out, "");
    EXPECT_EQ(blocked.err.rfind("pagewick-cli: cannot create the settings folder: " + dir.file("blocker"), 0), 0u)
        << blocked.err;
}

TEST(CliSettingsFolder, PortableModeBesideTheProgram)
{
    test::TempDir dir;
    const std::string program = CopyProgram(dir, "portable");
    std::ofstream(dir.file("portable/Pagewick.ini")).flush();
    const std::string config = dir.file("config");

    const Process shown = RunProgram(dir, program, { "XDG_CONFIG_HOME=" + config }, { "config-dir" });
    ASSERT_EQ(shown.code, 0) << shown.err;
    EXPECT_EQ(shown.out, dir.file("portable") + "\n");

    const Process added = RunProgram(
        dir, program, { "XDG_CONFIG_HOME=" + config }, { "catalogue", "add", "--name", "Banner", "--type", "x" });
    ASSERT_EQ(added.code, 0) << added.err;
    EXPECT_TRUE(fs::exists(dir.file("portable/ads.ini")));
    EXPECT_FALSE(fs::exists(config)) << "portable mode leaves the user's config folder alone";
}

} // namespace
} // namespace pw
