#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using nlohmann::json;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;

    json answer() const { return json::parse(out); }
};

// A scratch folder for one run's input and output files, removed whatever happens.
class ScratchDir {
public:
    ScratchDir()
    {
        char pattern[] = "/tmp/tvlkeyctl-test-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~ScratchDir() { std::filesystem::remove_all(path_); }
    std::string file(const char* name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string contentsOf(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ToolRun runTool(const std::string& operation, const std::string& input)
{
    ScratchDir scratch;
    std::ofstream(scratch.file("in")) << input;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, scratch.file("in").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, scratch.file("out").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, scratch.file("err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string program = TVLKEYCTL_PATH;
    std::vector<char*> argv{program.data()};
    std::string argument = operation;
    if (!operation.empty())
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ToolRun run;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = contentsOf(scratch.file("out"));
    run.err = contentsOf(scratch.file("err"));
    return run;
}

json succeed(const std::string& operation, const json& request)
{
    const ToolRun run = runTool(operation, request.dump());
    EXPECT_EQ(run.status, 0) << operation << ": " << run.out << run.err;
    return run.status == 0 ? run.answer() : json::object();
}

const std::string kSalt = "dHdlbnR5IGJ5dGVzIG9mIHNhbHQ=";  // 20 bytes

json accountRequest(const json& account, const std::string& password)
{
    return {{"password", password},
            {"key_salt", kSalt},
            {"key_blob", account["key_blob"]},
            {"wrapped_ak", account["wrapped_ak"]},
            {"wrapped_pk", account["wrapped_pk"]}};
}

TEST(Tvlkeyctl, RunsTheAccountLifeCycle)
{
    const json account =
        succeed("generate_user_data", {{"user_id", "hank-3"}, {"password", "pw"}, {"key_salt", kSalt}});
    ASSERT_TRUE(account.contains("certificate"));
    EXPECT_EQ(account["wrapped_ak"].get<std::string>().size(), 72u);

    EXPECT_EQ(succeed("check_user_data", accountRequest(account, "pw")), json::object());
    const ToolRun wrong = runTool("check_user_data", accountRequest(account, "other").dump());
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.answer()["error"].get<std::string>().find("checksum mismatch"),
              std::string::npos)
        << "the library's diagnostic explains the failure, on the answer only";

    const std::string kek = succeed("get_kek", accountRequest(account, "pw"))["kek"];
    EXPECT_EQ(kek.size(), 64u);
    const json shek = succeed("get_shek", accountRequest(account, "pw"));
    EXPECT_EQ(shek["shek_id"], account["shek_id"]);
    EXPECT_EQ(shek["shek"].get<std::string>().size(), 64u);

    const json updated = succeed("update_shek", accountRequest(account, "pw"));
    json rotated = account;
    rotated["key_blob"] = updated["key_blob"];
    EXPECT_NE(updated["shek_id"], account["shek_id"]);
    EXPECT_EQ(succeed("get_kek", accountRequest(rotated, "pw"))["kek"], kek);

    const std::string text(72, 'k');
    const json wrapped =
        succeed("wrap_dek", {{"certificate", account["certificate"]}, {"text", text}});
    json unwrapRequest = accountRequest(account, "pw");
    unwrapRequest["wrapped"] = wrapped["wrapped"];
    EXPECT_EQ(succeed("unwrap_dek", unwrapRequest)["text"], text);
    const ToolRun tooLong =
        runTool("wrap_dek", json{{"certificate", account["certificate"]}, {"text", std::string(245, 'k')}}.dump());
    EXPECT_EQ(tooLong.status, 1);

    const std::string code = succeed("gen_random_string", {{"length", 25}})["text"];
    EXPECT_EQ(code.size(), 24u);
    json recoveryRequest = accountRequest(account, "pw");
    recoveryRequest["recovery_code"] = code;
    const json recovery = succeed("wrap_pk_for_recovery", recoveryRequest);
    EXPECT_EQ(succeed("get_recovery_key_id", {{"recovery_code", code}})["key_id"],
              recovery["key_id"]);

    json resetRequest = accountRequest(account, "pw");
    resetRequest["reset_key"] = "c2VydmljZSByZXNldCBrZXk=";
    const json resetPk = succeed("generate_reset_pk", resetRequest);
    const json reset = succeed("reset_user_data", {{"password", "new pw"},
                                                   {"key_salt", kSalt},
                                                   {"reset_key", resetRequest["reset_key"]},
                                                   {"reset_pk", resetPk["reset_pk"]}});
    json afterReset = account;
    afterReset["wrapped_ak"] = reset["wrapped_ak"];
    afterReset["wrapped_pk"] = reset["wrapped_pk"];
    EXPECT_EQ(succeed("get_kek", accountRequest(afterReset, "new pw"))["kek"], kek);
}

TEST(Tvlkeyctl, BadRequestsExitWithStatusTwo)
{
    const std::pair<std::string, std::string> cases[] = {
        {"get_recovery_key_id", "{\"recovery_code\": "},
        {"get_recovery_key_id", "[\"ABC\"]"},
        {"get_recovery_key_id", "{}"},
        {"get_recovery_key_id", "{\"recovery_code\": 17}"},
        {"gen_random_string", "{\"length\": \"25\"}"},
        {"gen_random_string", "{\"length\": 1e12}"},
        {"gen_random_string", "{\"length\": 100000000}"},
        {"check_user_data", "{\"password\": \"pw\"}"},
        {"no_such_operation", "{}"},
        {"", "{}"},
    };
    for (const auto& [operation, input] : cases) {
        SCOPED_TRACE(operation + " " + input);
        const ToolRun run = runTool(operation, input);
        EXPECT_EQ(run.status, 2);
        EXPECT_FALSE(run.err.empty());
    }
}

TEST(Tvlkeyctl, FailuresAnswerWithOneErrorObject)
{
    const std::pair<std::string, json> cases[] = {
        {"check_user_data", {{"password", "pw"}, {"key_salt", "@@"}, {"key_blob", "x"},
                             {"wrapped_ak", "AAAA"}, {"wrapped_pk", ""}}},
        {"wrap_dek", {{"certificate", "not a certificate"}, {"text", "t"}}},
        {"gen_random_string", {{"length", 0}}},
    };
    for (const auto& [operation, request] : cases) {
        SCOPED_TRACE(operation);
        const ToolRun run = runTool(operation, request.dump());
        EXPECT_EQ(run.status, 1);
        const json answer = run.answer();
        EXPECT_EQ(answer.size(), 1u);
        EXPECT_TRUE(answer["error"].get<std::string>().starts_with(operation + " failed"));
    }
}

}  // namespace
