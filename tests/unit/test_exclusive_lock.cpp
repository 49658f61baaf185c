// The lock that keeps launchers apart: held against other handles and processes, released
// when its holder ends however it ends, waited for within a bound. No Linux-only tool: the
// Windows suite can run these as they are.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/os/os.h"
#include "launcher/ExclusiveLock.h"
#include "tests/support/LockHolder.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestLog.h"

namespace fs = std::filesystem;

namespace {

TEST(ExclusiveLock, ASecondHandleIsRefusedUntilTheFirstIsReleased) {
    TempDir dir;
    const std::wstring path = (dir / "p1_update.lock").wstring();
    os::LockHandle first = os::kNoLock, second = os::kNoLock;
    ASSERT_EQ(os::TryLockExclusive(path, first), 0);
    EXPECT_EQ(os::TryLockExclusive(path, second), os::err::kLockBusy);
    EXPECT_EQ(second, os::kNoLock);
    os::ReleaseLock(first);
    ASSERT_EQ(os::TryLockExclusive(path, second), 0);
    os::ReleaseLock(second);
    EXPECT_TRUE(fs::exists(dir / "p1_update.lock"));  // the file stays for the next one
}

TEST(ExclusiveLock, AHolderThatIsKilledLetsGo) {
    TempDir dir;
    LockHolder holder(dir / "x.lock");
    ASSERT_TRUE(holder.holding());
    os::LockHandle handle = os::kNoLock;
    EXPECT_EQ(os::TryLockExclusive((dir / "x.lock").wstring(), handle), os::err::kLockBusy);
    holder.Kill();
    EXPECT_EQ(os::TryLockExclusive((dir / "x.lock").wstring(), handle), 0);
    os::ReleaseLock(handle);
}

TEST(ExclusiveLock, TheWaitIsBoundedAndLogged) {
    TestLog log;
    TempDir dir;
    const fs::path file = dir / "nested/folder/x.lock";
    fs::create_directories(file.parent_path());
    LockHolder holder(file);
    ASSERT_TRUE(holder.holding());

    ExclusiveLock lock;
    EXPECT_FALSE(lock.Acquire(file.wstring(), 300));
    EXPECT_EQ(log.Matching("다른 런처가 작업중이어서 기다림(최대 300ms): " + file.string()).size(), 1u)
        << log.Text();
    EXPECT_EQ(log.Matching("[ENU:10]다른 런처의 작업을 기다리다 시간초과(").size(), 1u) << log.Text();

    holder.Kill();
    EXPECT_TRUE(lock.Acquire(file.wstring(), 300));
    EXPECT_EQ(log.Matching("기다림").size(), 1u) << log.Text();  // no wait the second time
}

TEST(ExclusiveLock, AcquireMakesTheFolderAndReportsAFileItCannotOpen) {
    TestLog log;
    TempDir dir;
    ExclusiveLock lock;
    EXPECT_TRUE(lock.Acquire((dir / "new/folders/a.lock").wstring(), 100));
    lock.Release();
    fs::create_directories(dir / "b.lock");  // a folder where the file belongs
    EXPECT_FALSE(lock.Acquire((dir / "b.lock").wstring(), 100));
    EXPECT_EQ(log.Matching("[ENU:20]잠금 파일을 열지 못함: " + (dir / "b.lock").string()).size(),
              1u)
        << log.Text();
}

TEST(ExclusiveLock, TheWaitComesFromTheTestVariable) {
    EXPECT_EQ(LockWaitMs(), 300000u);
    ScopedEnv shorter("ZEB_TEST_LOCK_WAIT_MS", "1500");
    EXPECT_EQ(LockWaitMs(), 1500u);
    ScopedEnv bad("ZEB_TEST_LOCK_WAIT_MS", "15s");
    EXPECT_EQ(LockWaitMs(), 300000u);
}

}  // namespace
