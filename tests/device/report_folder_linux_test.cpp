// Where the Linux program keeps its working report: beside the executable
// when run from its own folder, in a folder of its own when installed, and
// never in a folder someone else could redirect or fill. Each case builds an
// install prefix in a temporary folder (never the machine's /var/lib).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "device/linux/LinuxPlatform.h"
#include "device/linux/ReportFolder.h"
#include "support/TempDir.h"

namespace kalvorin::device::linuxbackend {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUser = 65534;

struct Status {
  bool exists = false;
  uid_t owner = 0;
  mode_t mode = 0;
};

Status StatusOf(const fs::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return {};
  return {true, status.st_uid, static_cast<mode_t>(status.st_mode & 07777)};
}

class ReportFolderChoice : public ::testing::Test {
 protected:
  void SetUp() override {
    // The modes checked below are those asked for, under the usual mask.
    savedMask_ = ::umask(022);
    fs::create_directories(root() / "usr/bin");
    fs::create_directories(root() / "var/lib");
    fs::create_directories(root() / "home/tech");
    // Merged /usr: the executable may be reached through /bin as well.
    fs::create_directory_symlink("usr/bin", root() / "bin");
  }

  void TearDown() override { ::umask(savedMask_); }

  fs::path root() const { return dir.path() / "racine"; }
  std::string Bin() const { return (root() / "usr/bin").string() + "/"; }
  std::string State() const { return (root() / "var/lib/kalvorin").string(); }

  ReportFolderSetting Setting(uid_t user) const {
    return {(root() / "usr/bin").string(), State(), user, "", (root() / "home/tech").string()};
  }

  // ChooseReportFolder run by `setting.user`: in a child process that has
  // become that user when the test runs as root as someone else.
  Platform::ReportFolder ChooseAs(const std::string& programFolder,
                                  const ReportFolderSetting& setting) {
    if (setting.user == ::geteuid()) return ChooseReportFolder(programFolder, setting);
    int channel[2];
    if (::pipe(channel) != 0) return {"", "pipe"};
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(channel[0]);
      if (::setgid(setting.user) != 0 || ::setuid(setting.user) != 0) ::_exit(2);
      const Platform::ReportFolder answer = ChooseReportFolder(programFolder, setting);
      const std::string text = answer.folder + '\n' + answer.refusal;
      const bool written =
          ::write(channel[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
      ::_exit(written ? 0 : 3);
    }
    ::close(channel[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {"", "child failed"};
    const std::size_t end = text.find('\n');
    return {text.substr(0, end), text.substr(end + 1)};
  }

  test::TempDir dir;

 private:
  mode_t savedMask_ = 022;
};

TEST_F(ReportFolderChoice, RunFromItsOwnFolderTheProgramKeepsThatFolder) {
  const std::string own = dir.path().string() + "/construction/";
  fs::create_directory(own);
  for (uid_t user : {uid_t{0}, kOtherUser}) {
    const auto answer = ChooseReportFolder(own, Setting(user));
    EXPECT_EQ(answer.folder, own);
    EXPECT_EQ(answer.refusal, "");
  }
  EXPECT_EQ(ChooseReportFolder("", Setting(0)).folder, "");
  EXPECT_FALSE(fs::exists(State()));
  EXPECT_FALSE(fs::exists(root() / "home/tech/.local"));

  // The tests' own executable does not lie in the build's install folder.
  LinuxPlatform platform;
  EXPECT_EQ(platform.WorkingReportFolder(own).folder, own);
}

TEST_F(ReportFolderChoice, InstalledAsAdministratorItUsesItsStateFolderMadePrivate) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root: the folder must belong to root";
  for (const std::string& programFolder : {Bin(), (root() / "bin").string() + "/"}) {
    SCOPED_TRACE(programFolder);
    const auto answer = ChooseReportFolder(programFolder, Setting(0));
    EXPECT_EQ(answer.refusal, "");
    EXPECT_EQ(answer.folder, State() + "/");
    const Status made = StatusOf(State());
    EXPECT_TRUE(made.exists);
    EXPECT_EQ(made.owner, 0u);
    EXPECT_EQ(made.mode, 0700u);
  }
  // A folder root made readable by others is still its own.
  fs::permissions(State(), fs::perms(0755));
  EXPECT_EQ(ChooseReportFolder(Bin(), Setting(0)).refusal, "");
  EXPECT_EQ(StatusOf(State()).mode, 0755u);

  // Installed under a prefix whose state folders do not exist yet: they are
  // made as system folders, the program's own private.
  fs::remove_all(root() / "var");
  EXPECT_EQ(ChooseReportFolder(Bin(), Setting(0)).refusal, "");
  EXPECT_EQ(StatusOf(root() / "var").mode, 0755u);
  EXPECT_EQ(StatusOf(root() / "var/lib").mode, 0755u);
  EXPECT_EQ(StatusOf(State()).mode, 0700u);
}

TEST_F(ReportFolderChoice, TheAdministratorsFolderIsRefusedUnlessOnlyRootCanChangeIt) {
  const fs::path real = dir.path() / "ailleurs";
  struct Case {
    const char* name;
    std::function<void()> plant;
    const char* refusal;
  } cases[] = {
      {"a link to a private folder",
       [&] {
         fs::create_directory(real);
         fs::permissions(real, fs::perms(0700));
         fs::create_directory_symlink(real, State());
       },
       "n'est pas un vrai dossier"},
      {"a dangling link", [&] { fs::create_symlink(dir.path() / "nulle-part", State()); },
       "n'est pas un vrai dossier"},
      {"a file", [&] { std::ofstream(State()) << "x"; }, "n'est pas un vrai dossier"},
      {"writable by others",
       [&] {
         fs::create_directory(State());
         fs::permissions(State(), fs::perms(0777));
       },
       "peut être modifié par d'autres utilisateurs"},
      {"writable by its group",
       [&] {
         fs::create_directory(State());
         fs::permissions(State(), fs::perms(0770));
       },
       "peut être modifié par d'autres utilisateurs"},
      {"owned by another user",
       [&] {
         fs::create_directory(State());
         fs::permissions(State(), fs::perms(0700));
         // Not root: the folder the test makes is already someone else's.
         if (::geteuid() == 0) {
           ASSERT_EQ(::chown(State().c_str(), kOtherUser, kOtherUser), 0);
         }
       },
       "n'appartient pas à l'administrateur (root)"},
      {"a file in place of its parent",
       [&] {
         fs::remove(root() / "var/lib");
         std::ofstream(root() / "var/lib") << "x";
       },
       "ne peut pas être créé"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.plant();
    const Status before = StatusOf(State());
    const auto answer = ChooseReportFolder(Bin(), Setting(0));
    EXPECT_EQ(answer.folder, State() + "/");
    EXPECT_NE(answer.refusal.find("« " + State() + " »"), std::string::npos) << answer.refusal;
    EXPECT_NE(answer.refusal.find(c.refusal), std::string::npos) << answer.refusal;
    // Refused as found: not repaired, not replaced.
    const Status after = StatusOf(State());
    EXPECT_EQ(after.exists, before.exists);
    EXPECT_EQ(after.mode, before.mode);
    EXPECT_EQ(after.owner, before.owner);
    fs::remove_all(root() / "var/lib");
    fs::create_directories(root() / "var/lib");
  }
}

TEST_F(ReportFolderChoice, InstalledAsAUserItUsesTheUsersStateFolder) {
  const uid_t user = ::geteuid() == 0 ? kOtherUser : ::geteuid();
  // The user's home, reachable by the user (the test's folder is private).
  fs::permissions(dir.path(), fs::perms(0711));
  fs::permissions(root(), fs::perms(0711));
  fs::permissions(root() / "home", fs::perms(0711));
  const fs::path home = root() / "home/tech";
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(home.c_str(), user, user), 0);
  }

  struct Case {
    const char* xdgStateHome;
    fs::path folder;
    std::vector<fs::path> made;  // each made 0700
  } cases[] = {
      {"",
       home / ".local/state/kalvorin",
       {home / ".local", home / ".local/state", home / ".local/state/kalvorin"}},
      {"etat/relatif", home / ".local/state/kalvorin", {}},
      {"HOME/xdg/etat//",
       home / "xdg/etat/kalvorin",
       {home / "xdg", home / "xdg/etat", home / "xdg/etat/kalvorin"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xdgStateHome);
    ReportFolderSetting setting = Setting(user);
    setting.xdgStateHome = c.xdgStateHome;
    if (setting.xdgStateHome.rfind("HOME", 0) == 0) {
      setting.xdgStateHome.replace(0, 4, home.string());
    }
    const auto answer = ChooseAs(Bin(), setting);
    EXPECT_EQ(answer.refusal, "");
    EXPECT_EQ(answer.folder, c.folder.string() + "/");
    for (const fs::path& made : c.made) {
      const Status status = StatusOf(made);
      EXPECT_TRUE(status.exists) << made;
      EXPECT_EQ(status.owner, user) << made;
      EXPECT_EQ(status.mode, 0700u) << made;
    }
  }
  EXPECT_FALSE(fs::exists(State()));

  // A folder of the user's that another user may write to, or a link in
  // its place, is refused as the administrator's is.
  const fs::path folder = home / ".local/state/kalvorin";
  fs::permissions(folder, fs::perms(0733));
  EXPECT_NE(ChooseAs(Bin(), Setting(user)).refusal.find("peut être modifié"), std::string::npos);
  fs::remove(folder);
  fs::create_directory_symlink(home, folder);
  EXPECT_NE(ChooseAs(Bin(), Setting(user)).refusal.find("n'est pas un vrai dossier"),
            std::string::npos);

  ReportFolderSetting homeless = Setting(user);
  homeless.home = "";
  const auto answer = ChooseAs(Bin(), homeless);
  EXPECT_NE(answer.refusal.find("HOME"), std::string::npos);
}

}  // namespace
}  // namespace kalvorin::device::linuxbackend
