#include "test_account.h"

#include "tvl_aes.h"
#include "tvl_b64.h"
#include "tvl_keygen.h"


#include <cstdlib>
#include <stdexcept>

namespace tvlkey::test {

std::string takeText(char* text)
{
    if (text == nullptr)
        return {};
    std::string copy(text);
    free(text);
    return copy;
}

std::string base64Of(const std::string& bytes)
{
    char* text = nullptr;
    base64_encode(reinterpret_cast<const unsigned char*>(bytes.data()),
                  static_cast<int>(bytes.size()), &text);
    return takeText(text);
}

std::string base64DecodedOf(const std::string& text)
{
    unsigned char* area = nullptr;
    const int decoded = base64_decode(text.c_str(), static_cast<int>(text.size()), &area);
    std::string bytes(reinterpret_cast<char*>(area), decoded > 0 ? decoded : 0);
    free(area);
    return bytes;
}

int TestAccount::check(const std::string& withPassword) const
{
    return check_user_data(withPassword.c_str(), keySalt.c_str(), keyBlob.c_str(),
                           wrappedAk.c_str(), wrappedPk.c_str());
}

std::string TestAccount::kek() const
{
    char* kekText = nullptr;
    if (get_kek(password.c_str(), keySalt.c_str(), keyBlob.c_str(), wrappedAk.c_str(),
                wrappedPk.c_str(), &kekText) != 0)
        return {};
    return takeText(kekText);
}

TestAccount generateAccount(const std::string& userId, const std::string& password,
                            const std::string& keySalt)
{
    char* blob = nullptr;
    char* certificate = nullptr;
    char* wrappedAk = nullptr;
    char* wrappedPk = nullptr;
    char* shekId = nullptr;
    if (generate_user_data(userId.c_str(), password.c_str(), keySalt.c_str(), &blob, &certificate,
                           &wrappedAk, &wrappedPk, &shekId) != 0)
        throw std::runtime_error("generate_user_data failed for " + userId);
    return {userId,          password,          keySalt,          takeText(blob),
            takeText(certificate), takeText(wrappedAk), takeText(wrappedPk), takeText(shekId)};
}

std::string randomKeySalt()
{
    std::string salt(20, '\0');
    randomize(reinterpret_cast<unsigned char*>(salt.data()), 20);
    return base64Of(salt);
}

}  // namespace tvlkey::test
