#pragma once

#include <string>

namespace tvlkey::test {

// Takes ownership of a text the library allocated.
std::string takeText(char* text);

std::string base64Of(const std::string& bytes);
std::string base64DecodedOf(const std::string& text);

// One account as the service stores it, made by generate_user_data.
struct TestAccount {
    std::string userId;
    std::string password;
    std::string keySalt;
    std::string keyBlob;
    std::string certificate;
    std::string wrappedAk;
    std::string wrappedPk;
    std::string shekId;

    int check(const std::string& withPassword) const;
    std::string kek() const;
};

TestAccount generateAccount(const std::string& userId, const std::string& password,
                            const std::string& keySalt);
// A 20-byte salt as Base64.
std::string randomKeySalt();

}  // namespace tvlkey::test
