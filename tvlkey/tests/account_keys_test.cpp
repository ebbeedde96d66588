#include "test_account.h"

#include "tvl_keygen.h"

#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <regex>
#include <string>

namespace {

using tvlkey::test::base64DecodedOf;
using tvlkey::test::base64Of;
using tvlkey::test::generateAccount;
using tvlkey::test::randomKeySalt;
using tvlkey::test::takeText;
using tvlkey::test::TestAccount;

// A share key's transport text is 72 characters long.
const std::string kTransportText(
    "8c7f1c9e-61a1-4b7e-9d3a-5f2b0c4e7a11:QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVo");

class AccountKeys : public testing::Test {
protected:
    static void SetUpTestSuite() { alice = new TestAccount(generateAccount("alice-17", "alice pw", randomKeySalt())); }
    static void TearDownTestSuite() { delete alice; }

    static std::string shekIdOf(const TestAccount& account, const std::string& blob,
                                std::string* shek = nullptr)
    {
        char* id = nullptr;
        char* key = nullptr;
        if (get_shek(account.password.c_str(), account.keySalt.c_str(), blob.c_str(),
                     account.wrappedAk.c_str(), account.wrappedPk.c_str(), &id, &key) != 0)
            return {};
        if (shek != nullptr)
            *shek = takeText(key);
        else
            takeText(key);
        return takeText(id);
    }

    static int unwrap(const TestAccount& account, const std::string& wrapped, std::string& text)
    {
        char* out = nullptr;
        const int result =
            unwrap_dek(account.password.c_str(), account.keySalt.c_str(), account.keyBlob.c_str(),
                       account.wrappedAk.c_str(), account.wrappedPk.c_str(), wrapped.c_str(), &out);
        text = takeText(out);
        return result;
    }

    static TestAccount* alice;
};

TestAccount* AccountKeys::alice = nullptr;

TEST_F(AccountKeys, DataOpensOnlyWithItsPasswordAndSalt)
{
    EXPECT_EQ(alice->check(alice->password), 0);

    testing::internal::CaptureStdout();
    EXPECT_EQ(alice->check("wrong pw"), -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("checksum mismatch"), std::string::npos);

    TestAccount otherSalt = *alice;
    otherSalt.keySalt = randomKeySalt();
    testing::internal::CaptureStdout();
    EXPECT_EQ(otherSalt.check(alice->password), -1);
    testing::internal::GetCapturedStdout();
}

TEST_F(AccountKeys, KekAndShekAre48ByteKeysAndTheShekIdIsTheGeneratedOne)
{
    const std::string kek = alice->kek();
    std::string shek;
    EXPECT_EQ(shekIdOf(*alice, alice->keyBlob, &shek), alice->shekId);
    for (const std::string& key : {kek, shek}) {
        EXPECT_EQ(key.size(), 64u);
        EXPECT_EQ(base64DecodedOf(key).size(), 48u);
    }
    EXPECT_NE(kek, shek);
    EXPECT_EQ(alice->wrappedAk.size(), 72u);
    EXPECT_EQ(alice->wrappedPk.size(), 72u);
    EXPECT_TRUE(std::regex_match(alice->shekId, std::regex("[0-9a-f-]{36}")));
}

TEST_F(AccountKeys, UpdatedShekKeepsKekAndKeyPair)
{
    std::string oldShek;
    shekIdOf(*alice, alice->keyBlob, &oldShek);
    char* blob = nullptr;
    char* id = nullptr;
    ASSERT_EQ(update_shek(alice->password.c_str(), alice->keySalt.c_str(), alice->keyBlob.c_str(),
                          alice->wrappedAk.c_str(), alice->wrappedPk.c_str(), &blob, &id),
              0);
    TestAccount updated = *alice;
    updated.keyBlob = takeText(blob);
    const std::string newId = takeText(id);

    std::string newShek;
    EXPECT_NE(newId, alice->shekId);
    EXPECT_EQ(shekIdOf(updated, updated.keyBlob, &newShek), newId);
    EXPECT_NE(newShek, oldShek);
    EXPECT_EQ(updated.kek(), alice->kek());
    EXPECT_EQ(updated.check(updated.password), 0);

    char* wrapped = nullptr;
    ASSERT_EQ(wrap_dek(alice->certificate.c_str(), kTransportText.c_str(), &wrapped), 0);
    std::string text;
    EXPECT_EQ(unwrap(updated, takeText(wrapped), text), 0);
    EXPECT_EQ(text, kTransportText);
}

TEST_F(AccountKeys, RecoveryCodeRewrapsTheKeysForANewPassword)
{
    char code[25];
    ASSERT_EQ(gen_random_string(code, sizeof code), 0);
    char* recoveryWrapping = nullptr;
    char* keyId = nullptr;
    ASSERT_EQ(wrap_pk_for_recovery(alice->password.c_str(), alice->keySalt.c_str(),
                                   alice->wrappedAk.c_str(), alice->wrappedPk.c_str(), code,
                                   &recoveryWrapping, &keyId),
              0);
    const std::string wrapping = takeText(recoveryWrapping);
    char* idAgain = nullptr;
    ASSERT_EQ(get_recovery_key_id(code, &idAgain), 0);
    EXPECT_EQ(takeText(idAgain), takeText(keyId));

    char* wrappedAk = nullptr;
    char* wrappedPk = nullptr;
    ASSERT_EQ(reset_user_data("new pw", alice->keySalt.c_str(), base64Of(code).c_str(),
                              wrapping.c_str(), &wrappedAk, &wrappedPk),
              0);
    TestAccount recovered = *alice;
    recovered.password = "new pw";
    recovered.wrappedAk = takeText(wrappedAk);
    recovered.wrappedPk = takeText(wrappedPk);
    EXPECT_EQ(recovered.check("new pw"), 0);
    EXPECT_EQ(recovered.kek(), alice->kek()) << "the blob stays valid and unchanged";
    testing::internal::CaptureStdout();
    EXPECT_EQ(recovered.check(alice->password), -1);

    std::string otherCode = code;
    otherCode[0] = otherCode[0] == 'A' ? 'B' : 'A';
    EXPECT_EQ(reset_user_data("new pw", alice->keySalt.c_str(), base64Of(otherCode).c_str(),
                              wrapping.c_str(), &wrappedAk, &wrappedPk),
              -1);
    testing::internal::GetCapturedStdout();
}

TEST_F(AccountKeys, ResetKeyRewrapsTheKeysForANewPassword)
{
    const std::string resetKey = base64Of("key held by the service for alice");
    char* resetPk = nullptr;
    ASSERT_EQ(generate_reset_pk(alice->password.c_str(), alice->keySalt.c_str(), resetKey.c_str(),
                                alice->wrappedAk.c_str(), alice->wrappedPk.c_str(), &resetPk),
              0);
    const std::string reset = takeText(resetPk);
    EXPECT_EQ(reset.size(), 72u);

    const std::string newSalt = randomKeySalt();
    char* wrappedAk = nullptr;
    char* wrappedPk = nullptr;
    ASSERT_EQ(reset_user_data("reset pw", newSalt.c_str(), resetKey.c_str(), reset.c_str(),
                              &wrappedAk, &wrappedPk),
              0);
    TestAccount resetAccount = *alice;
    resetAccount.password = "reset pw";
    resetAccount.keySalt = newSalt;
    resetAccount.wrappedAk = takeText(wrappedAk);
    resetAccount.wrappedPk = takeText(wrappedPk);
    EXPECT_EQ(resetAccount.check("reset pw"), 0);
    EXPECT_EQ(resetAccount.kek(), alice->kek());

    testing::internal::CaptureStdout();
    EXPECT_EQ(reset_user_data("reset pw", newSalt.c_str(), base64Of("another key").c_str(),
                              reset.c_str(), &wrappedAk, &wrappedPk),
              -1);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("checksum mismatch"), std::string::npos);
}

TEST(RecoveryCode, KeyIdIsStableHexAndTellsCodesApart)
{
    const std::string code = "7KQ2M9ZXH4TB6WRN3PCV8DJF";
    auto idOf = [](const std::string& text) {
        char* id = nullptr;
        EXPECT_EQ(get_recovery_key_id(text.c_str(), &id), 0);
        return takeText(id);
    };
    const std::string id = idOf(code);
    EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-F]{16}"))) << id;
    EXPECT_EQ(idOf(code), id);
    for (std::size_t position : {std::size_t{0}, std::size_t{11}, std::size_t{23}}) {
        std::string changed = code;
        changed[position] = changed[position] == 'A' ? 'B' : 'A';
        EXPECT_NE(idOf(changed), id) << "position " << position;
    }
    char* none = nullptr;
    EXPECT_EQ(get_recovery_key_id(nullptr, &none), -1);
}

TEST(RecoveryCode, RandomStringsUseTheRecoveryAlphabet)
{
    std::string all;
    for (int i = 0; i < 200; ++i) {
        char code[25];
        ASSERT_EQ(gen_random_string(code, sizeof code), 0);
        ASSERT_EQ(std::string(code).size(), 24u);
        all += code;
    }
    EXPECT_EQ(all.find_first_not_of("0123456789ABCDEFGHIJKLMNPQRSTUVWXYZ"), std::string::npos);
    EXPECT_NE(all.find('Z'), std::string::npos);
    char empty[1] = {'x'};
    EXPECT_EQ(gen_random_string(empty, 1), 0);
    EXPECT_STREQ(empty, "");
    EXPECT_EQ(gen_random_string(empty, 0), -1);
}

TEST_F(AccountKeys, ShareKeyOpensOnlyForItsRecipient)
{
    ASSERT_EQ(kTransportText.size(), 72u);
    char* wrapped = nullptr;
    ASSERT_EQ(wrap_dek(alice->certificate.c_str(), kTransportText.c_str(), &wrapped), 0);
    const std::string wrappedText = takeText(wrapped);
    EXPECT_EQ(wrappedText.size(), 344u);

    std::string text;
    EXPECT_EQ(unwrap(*alice, wrappedText, text), 0);
    EXPECT_EQ(text, kTransportText);

    const TestAccount bob = generateAccount("bob-23", "bob pw", randomKeySalt());
    testing::internal::CaptureStdout();
    EXPECT_EQ(unwrap(bob, wrappedText, text), -1);
    // Alice's blob under Bob's keys does not open either.
    TestAccount mixed = bob;
    mixed.keyBlob = alice->keyBlob;
    EXPECT_EQ(mixed.check(bob.password), -1);
    testing::internal::GetCapturedStdout();

    // PKCS#1 v1.5 under 2048 bits takes 245 bytes: 244 characters and the NUL.
    ASSERT_EQ(wrap_dek(alice->certificate.c_str(), std::string(244, 'x').c_str(), &wrapped), 0);
    EXPECT_EQ(unwrap(*alice, takeText(wrapped), text), 0);
    EXPECT_EQ(text, std::string(244, 'x'));
    testing::internal::CaptureStdout();
    EXPECT_EQ(wrap_dek(alice->certificate.c_str(), std::string(245, 'x').c_str(), &wrapped), -1);
    testing::internal::GetCapturedStdout();
}

TEST_F(AccountKeys, CertificateIsSelfSignedForTheUserFor7300Days)
{
    BIO* bio = BIO_new_mem_buf(alice->certificate.data(), static_cast<int>(alice->certificate.size()));
    X509* certificate = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    ASSERT_NE(certificate, nullptr);

    char name[128];
    X509_NAME* subject = X509_get_subject_name(certificate);
    ASSERT_GT(X509_NAME_get_text_by_NID(subject, NID_commonName, name, sizeof name), 0);
    EXPECT_STREQ(name, "alice-17");
    ASSERT_GT(X509_NAME_get_text_by_NID(subject, NID_countryName, name, sizeof name), 0);
    EXPECT_STREQ(name, "US");
    EXPECT_EQ(X509_NAME_cmp(X509_get_issuer_name(certificate), subject), 0);

    int days = 0;
    int seconds = 0;
    ASSERT_EQ(ASN1_TIME_diff(&days, &seconds, X509_get0_notBefore(certificate),
                             X509_get0_notAfter(certificate)),
              1);
    EXPECT_EQ(days, 7300);
    EXPECT_EQ(seconds, 0);

    EXPECT_EQ(X509_get_version(certificate), 2);
    EXPECT_EQ(X509_get_signature_nid(certificate), NID_sha1WithRSAEncryption);
    BIGNUM* serial = ASN1_INTEGER_to_BN(X509_get0_serialNumber(certificate), nullptr);
    EXPECT_EQ(BN_num_bits(serial), 128);
    BN_free(serial);
    EXPECT_EQ(X509_check_ca(certificate), 1);
    EXPECT_EQ(X509_get_key_usage(certificate), static_cast<uint32_t>(KU_KEY_CERT_SIGN | KU_CRL_SIGN));
    EXPECT_GE(X509_get_ext_by_NID(certificate, NID_subject_key_identifier, -1), 0);
    EXPECT_GE(X509_get_ext_by_NID(certificate, NID_netscape_comment, -1), 0);
    EVP_PKEY* key = X509_get0_pubkey(certificate);
    EXPECT_EQ(EVP_PKEY_get_bits(key), 2048);
    EXPECT_EQ(X509_verify(certificate, key), 1);
    X509_free(certificate);
}

}  // namespace
