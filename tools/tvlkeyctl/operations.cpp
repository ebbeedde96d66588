#include "operations.h"

#include "tvl_keygen.h"

#include <openssl/crypto.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

namespace tvlkeyctl {
namespace {

constexpr int kMaxRandomStringLength = 65536;

// A text the library allocated for the caller; wiped and released here.
class Output {
public:
    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output()
    {
        if (text_ != nullptr) {
            OPENSSL_cleanse(text_, strlen(text_));
            free(text_);
        }
    }

    char** slot() { return &text_; }
    std::string value() const { return text_ != nullptr ? text_ : ""; }

private:
    char* text_ = nullptr;
};

// The inputs every operation on an existing account reads, in the library's order.
struct AccountData {
    std::string password, keySalt, keyBlob, wrappedAk, wrappedPk;

    explicit AccountData(const Request& request)
        : password(request.text("password")), keySalt(request.text("key_salt")),
          keyBlob(request.text("key_blob")), wrappedAk(request.text("wrapped_ak")),
          wrappedPk(request.text("wrapped_pk"))
    {
    }
};

Answer answerIf(int result, nlohmann::json outputs)
{
    if (result != 0)
        return std::nullopt;
    return outputs;
}

Answer generateUserData(const Request& request)
{
    const std::string userId = request.text("user_id");
    const std::string password = request.text("password");
    const std::string keySalt = request.text("key_salt");
    Output blob, certificate, wrappedAk, wrappedPk, shekId;
    const int result = generate_user_data(userId.c_str(), password.c_str(), keySalt.c_str(),
                                          blob.slot(), certificate.slot(), wrappedAk.slot(),
                                          wrappedPk.slot(), shekId.slot());
    return answerIf(result, {{"key_blob", blob.value()},
                             {"certificate", certificate.value()},
                             {"wrapped_ak", wrappedAk.value()},
                             {"wrapped_pk", wrappedPk.value()},
                             {"shek_id", shekId.value()}});
}

Answer checkUserData(const Request& request)
{
    const AccountData in(request);
    return answerIf(check_user_data(in.password.c_str(), in.keySalt.c_str(), in.keyBlob.c_str(),
                                    in.wrappedAk.c_str(), in.wrappedPk.c_str()),
                    nlohmann::json::object());
}

Answer getKek(const Request& request)
{
    const AccountData in(request);
    Output kek;
    const int result = get_kek(in.password.c_str(), in.keySalt.c_str(), in.keyBlob.c_str(),
                               in.wrappedAk.c_str(), in.wrappedPk.c_str(), kek.slot());
    return answerIf(result, {{"kek", kek.value()}});
}

Answer getShek(const Request& request)
{
    const AccountData in(request);
    Output shekId, shek;
    const int result = get_shek(in.password.c_str(), in.keySalt.c_str(), in.keyBlob.c_str(),
                                in.wrappedAk.c_str(), in.wrappedPk.c_str(), shekId.slot(),
                                shek.slot());
    return answerIf(result, {{"shek_id", shekId.value()}, {"shek", shek.value()}});
}

Answer updateShek(const Request& request)
{
    const AccountData in(request);
    Output blob, shekId;
    const int result = update_shek(in.password.c_str(), in.keySalt.c_str(), in.keyBlob.c_str(),
                                   in.wrappedAk.c_str(), in.wrappedPk.c_str(), blob.slot(),
                                   shekId.slot());
    return answerIf(result, {{"key_blob", blob.value()}, {"shek_id", shekId.value()}});
}

Answer wrapPkForRecovery(const Request& request)
{
    const std::string password = request.text("password");
    const std::string keySalt = request.text("key_salt");
    const std::string wrappedAk = request.text("wrapped_ak");
    const std::string wrappedPk = request.text("wrapped_pk");
    const std::string code = request.text("recovery_code");
    Output recoveryKey, keyId;
    const int result =
        wrap_pk_for_recovery(password.c_str(), keySalt.c_str(), wrappedAk.c_str(),
                             wrappedPk.c_str(), code.c_str(), recoveryKey.slot(), keyId.slot());
    return answerIf(result, {{"recovery_key", recoveryKey.value()}, {"key_id", keyId.value()}});
}

Answer getRecoveryKeyId(const Request& request)
{
    const std::string code = request.text("recovery_code");
    Output keyId;
    const int result = get_recovery_key_id(code.c_str(), keyId.slot());
    return answerIf(result, {{"key_id", keyId.value()}});
}

Answer genRandomString(const Request& request)
{
    const int length = request.integer("length");
    if (length > kMaxRandomStringLength)
        throw BadRequest("member \"length\" must be at most " +
                         std::to_string(kMaxRandomStringLength));
    std::vector<char> area(length > 0 ? length : 1, '\0');
    const int result = gen_random_string(area.data(), length);
    return answerIf(result, {{"text", std::string(area.data())}});
}

Answer generateResetPk(const Request& request)
{
    const std::string password = request.text("password");
    const std::string keySalt = request.text("key_salt");
    const std::string resetKey = request.text("reset_key");
    const std::string wrappedAk = request.text("wrapped_ak");
    const std::string wrappedPk = request.text("wrapped_pk");
    Output resetPk;
    const int result = generate_reset_pk(password.c_str(), keySalt.c_str(), resetKey.c_str(),
                                         wrappedAk.c_str(), wrappedPk.c_str(), resetPk.slot());
    return answerIf(result, {{"reset_pk", resetPk.value()}});
}

Answer resetUserData(const Request& request)
{
    const std::string password = request.text("password");
    const std::string keySalt = request.text("key_salt");
    const std::string resetKey = request.text("reset_key");
    const std::string resetPk = request.text("reset_pk");
    Output wrappedAk, wrappedPk;
    const int result = reset_user_data(password.c_str(), keySalt.c_str(), resetKey.c_str(),
                                       resetPk.c_str(), wrappedAk.slot(), wrappedPk.slot());
    return answerIf(result, {{"wrapped_ak", wrappedAk.value()}, {"wrapped_pk", wrappedPk.value()}});
}

Answer wrapDek(const Request& request)
{
    const std::string certificate = request.text("certificate");
    const std::string text = request.text("text");
    Output wrapped;
    const int result = wrap_dek(certificate.c_str(), text.c_str(), wrapped.slot());
    return answerIf(result, {{"wrapped", wrapped.value()}});
}

Answer unwrapDek(const Request& request)
{
    const AccountData in(request);
    const std::string wrapped = request.text("wrapped");
    Output text;
    const int result = unwrap_dek(in.password.c_str(), in.keySalt.c_str(), in.keyBlob.c_str(),
                                  in.wrappedAk.c_str(), in.wrappedPk.c_str(), wrapped.c_str(),
                                  text.slot());
    return answerIf(result, {{"text", text.value()}});
}

const std::map<std::string, std::function<Answer(const Request&)>>& operations()
{
    static const std::map<std::string, std::function<Answer(const Request&)>> table = {
        {"generate_user_data", generateUserData},
        {"check_user_data", checkUserData},
        {"get_kek", getKek},
        {"get_shek", getShek},
        {"update_shek", updateShek},
        {"wrap_pk_for_recovery", wrapPkForRecovery},
        {"get_recovery_key_id", getRecoveryKeyId},
        {"gen_random_string", genRandomString},
        {"generate_reset_pk", generateResetPk},
        {"reset_user_data", resetUserData},
        {"wrap_dek", wrapDek},
        {"unwrap_dek", unwrapDek},
    };
    return table;
}

}  // namespace

Answer runOperation(const std::string& operation, const Request& request)
{
    const auto found = operations().find(operation);
    if (found == operations().end())
        throw BadRequest("unknown operation \"" + operation + "\"");
    return found->second(request);
}

}  // namespace tvlkeyctl
