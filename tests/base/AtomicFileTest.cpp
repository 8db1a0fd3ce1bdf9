// Replacing a file: what is replaced, what is refused before anything is written, and that
// nothing but the target changes.
#include "base/AtomicFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace va5 {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class AtomicFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("va5-atomic-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_ / "real");
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::size_t Entries(const fs::path& folder) const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }
  fs::path dir_;
};

#ifndef _WIN32
// Names that are no regular file, or that may not be replaced, are refused by the check and by
// the writer alike, with the name given in the reason; the thing named stays what it was.
TEST_F(AtomicFileTest, RefusesWhatIsNoWritableRegularFile) {
  const fs::path fifo = dir_ / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path readOnly = dir_ / "read-only.txt";
  std::ofstream(readOnly) << "keep";
  fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read);
  const fs::path linkToDevice = dir_ / "to-null";
  fs::create_symlink("/dev/null", linkToDevice);
  struct Row {
    std::string path;
    std::string why;
  } rows[] = {
      {"/dev/full", "device"},
      {linkToDevice.string(), "device"},  // a link counts as what it points to
      {fifo.string(), "pipe"},
      {(dir_ / "real").string(), "folder"},
      {readOnly.string(), "read-only"},
      {(dir_ / "absent" / "x.txt").string(), "does not exist"},
      {"", "without a name"},
  };
  for (const Row& row : rows) {
    const auto reason = CheckReplaceable(row.path);
    ASSERT_TRUE(reason) << row.path;
    EXPECT_NE(reason->find(row.path), std::string::npos) << *reason;
    EXPECT_NE(reason->find(row.why), std::string::npos) << *reason;
    EXPECT_EQ(WriteFileAtomically(row.path, "new"), reason) << row.path;
  }
  struct stat st {};
  ASSERT_EQ(::stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::is_symlink(linkToDevice));
  EXPECT_EQ(Slurp(readOnly), "keep");
  EXPECT_EQ(Entries(dir_), 4u);  // real, fifo, read-only.txt, to-null: nothing added
}

// A link is followed to its file, which is replaced in its own folder; mode and owner stay.
TEST_F(AtomicFileTest, ReplacesTheFileALinkNamesAndKeepsItsModeAndOwner) {
  const fs::path file = dir_ / "real" / "table.txt";
  std::ofstream(file) << "old";
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(file.c_str(), 1234, 4321), 0);
  }
  const fs::path link = dir_ / "link.txt";
  fs::create_symlink(fs::path("real") / "table.txt", link);  // relative, as users make them
  const fs::path dangling = dir_ / "dangling.txt";
  fs::create_symlink(fs::path("real") / "new.txt", dangling);

  EXPECT_FALSE(CheckReplaceable(link.string()));
  EXPECT_EQ(WriteFileAtomically(link.string(), "new\n"), std::nullopt);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Slurp(file), "new\n");
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 4321u);
  }
  // A link to a file not there yet creates it where the link points.
  EXPECT_EQ(WriteFileAtomically(dangling.string(), "made"), std::nullopt);
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_EQ(Slurp(dir_ / "real" / "new.txt"), "made");
  EXPECT_EQ(Entries(dir_ / "real"), 2u);  // no temporary file left in either folder
  EXPECT_EQ(Entries(dir_), 3u);

  EXPECT_TRUE(NamesSameFile(link.string(), file.string()));
  EXPECT_TRUE(NamesSameFile((dir_ / "real" / ".." / "x").string(), (dir_ / "x").string()));
  EXPECT_FALSE(NamesSameFile(link.string(), (dir_ / "real" / "new.txt").string()));
}
#endif

// A write that breaks off, or one never committed, leaves the old file and no temporary file.
TEST_F(AtomicFileTest, AFailedWriteLeavesTheOldFile) {
  const fs::path file = dir_ / "real" / "kept.txt";
  std::ofstream(file) << "old";
  auto error = WriteFileAtomically(file.string(), "0123456789", 4);
  ASSERT_TRUE(error);
  EXPECT_NE(error->find(file.string()), std::string::npos) << *error;
  {
    AtomicFile abandoned(file.string());
    ASSERT_TRUE(abandoned.IsOpen()) << abandoned.Error();
    EXPECT_TRUE(abandoned.Write("never committed"));
    EXPECT_EQ(Entries(dir_ / "real"), 2u);
  }
  EXPECT_EQ(Slurp(file), "old");
  EXPECT_EQ(Entries(dir_ / "real"), 1u);
}

}  // namespace
}  // namespace va5
