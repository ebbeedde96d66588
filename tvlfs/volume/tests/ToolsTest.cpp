#include <filesystem>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "MountedVolume.h"
#include "StoredFiles.h"

namespace {

using namespace volume_test;

struct ToolCase {
    const char* name;
    const char* script;  // runs in the mount point; exits 0 when the tool left correct data
};

void PrintTo(const ToolCase& c, std::ostream* os) { *os << c.name; }

class EverydayTool : public ::testing::TestWithParam<ToolCase> {};

TEST_P(EverydayTool, LeavesCorrectData) {
    MountedVolume volume;
    std::string output;
    int status = shell("cd " + quoted(volume.mountPoint()) + " && set -e; " + GetParam().script, &output);
    EXPECT_EQ(status, 0) << output;
}

const ToolCase kToolCases[] = {
    {"cp_a", "mkdir -p src/sub; printf 'one' > src/a; printf 'two' > src/sub/b; chmod 640 src/a;"
             "touch -d '2020-01-02 03:04:05' src/a; cp -a src dst; diff -r src dst;"
             "test \"$(stat -c %a:%Y dst/a)\" = \"$(stat -c %a:%Y src/a)\""},
    {"mv", "printf 'data' > a; mkdir d; mv a d/b; test ! -e a; test \"$(cat d/b)\" = data;"
           "mv d e; test \"$(cat e/b)\" = data"},
    {"mkdir_p_rmdir", "mkdir -p x/y/z; rmdir x/y/z x/y x; test ! -e x"},
    {"rmdir_metadata_only", "mkdir m; printf 1 > m/.dropbox; printf 2 > \"m/Icon$(printf '\\r')\"; test \"$(ls -A m | wc -l)\" = 2; rmdir m; test ! -e m"},
    {"rmdir_not_empty", "mkdir n; printf 1 > n/.dropbox; printf 2 > n/keep; ! rmdir n; test -e n/.dropbox"},
    {"symlinks", "printf 'target' > t; ln -s t rel; ln -s /etc/hostname abs; ln -s \"$PWD/t\" inside;"
                 "test \"$(readlink rel)\" = t; test \"$(readlink abs)\" = /etc/hostname;"
                 "test \"$(readlink inside)\" = \"$PWD/t\"; test \"$(cat rel)\" = target;"
                 "test \"$(cat inside)\" = target; test \"$(stat -c %s abs)\" = 13"},
    {"hard_link", "printf 'linked' > h; ln h h2; test \"$(cat h2)\" = linked;"
                  "test \"$(stat -c %h h)\" = 2; rm h; test \"$(cat h2)\" = linked"},
    {"chmod_touch_truncate", "printf '0123456789' > f; chmod 600 f; test \"$(stat -c %a f)\" = 600;"
                             "touch -m -d '2001-02-03 04:05:06' f; test \"$(stat -c %Y f)\" = 981173106;"
                             "truncate -s 4 f; test \"$(cat f)\" = 0123; truncate -s 2000 f;"
                             "test \"$(stat -c %s f)\" = 2000; test \"$(head -c 4 f)\" = 0123;"
                             "test \"$(tail -c 1996 f | tr -d '\\0' | wc -c)\" = 0"},
    {"xattrs", "printf x > f; setfattr -n user.colour -v blue f; test \"$(getfattr --only-values -n user.colour f)\" = blue;"
               "getfattr -d f | grep -q user.colour; setfattr -x user.colour f; ! getfattr -n user.colour f;"
               "setfattr -n com.apple.quarantine -v q f 2>/dev/null || true; ! getfattr -n com.apple.quarantine f"},
    {"tar_diff", "tar -C /usr/include -cf /tmp/tvlfs-openssl-$$.tar openssl; mkdir tree;"
                 "tar -C tree -xf /tmp/tvlfs-openssl-$$.tar; rm /tmp/tvlfs-openssl-$$.tar;"
                 "diff -r /usr/include/openssl tree/openssl"},
    {"git", "git init -q repo; cd repo; git config user.email t@example.com; git config user.name t;"
            "for i in $(seq 1 20); do seq 1 $((i*50)) > f$i; done; git add .; git commit -qm one;"
            "seq 1 7 >> f3; git commit -qam two; git fsck --full --strict; git gc -q; git fsck --full;"
            "test \"$(git log --oneline | wc -l)\" = 2; git status --porcelain | grep -q . && exit 1 || true"},
    {"sqlite3", "sqlite3 db.sqlite 'create table t(a integer, b text);'"
                "\"with recursive c(x) as (select 1 union all select x+1 from c where x<5000)"
                " insert into t select x, hex(randomblob(40)) from c;\";"
                "test \"$(sqlite3 db.sqlite 'select count(*), sum(a) from t;')\" = '5000|12502500';"
                "test \"$(sqlite3 db.sqlite 'pragma integrity_check;')\" = ok"},
};

INSTANTIATE_TEST_SUITE_P(Tools, EverydayTool, ::testing::ValuesIn(kToolCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Concurrency, SeveralWritersAndReadersKeepEveryFileIntact) {
    MountedVolume volume;
    constexpr int kThreads = 6;
    std::vector<std::string> contents;
    for (int i = 0; i < kThreads; ++i) contents.push_back(randomBytes(20000 + 777 * i));
    writeFile(volume.at("shared.bin"), contents[0]);
    std::vector<std::thread> workers;
    std::vector<int> failures(kThreads, 0);
    for (int i = 0; i < kThreads; ++i) {
        workers.emplace_back([&, i] {
            for (int round = 0; round < 5; ++round) {
                std::string name = volume.at("file" + std::to_string(i));
                writeFile(name, contents[static_cast<std::size_t>(i)]);
                if (readFile(name) != contents[static_cast<std::size_t>(i)]) ++failures[static_cast<std::size_t>(i)];
                if (readFile(volume.at("shared.bin")) != contents[0]) ++failures[static_cast<std::size_t>(i)];
            }
        });
    }
    for (auto& worker : workers) worker.join();
    for (int i = 0; i < kThreads; ++i) EXPECT_EQ(failures[static_cast<std::size_t>(i)], 0) << "worker " << i;
    std::string output;
    EXPECT_EQ(shell("cd " + quoted(volume.mountPoint()) +
                    " && for i in 1 2 3 4; do (head -c 300000 /dev/urandom > p$i; cp p$i q$i; cmp p$i q$i) & done; wait",
                    &output), 0) << output;
}

}  // namespace
