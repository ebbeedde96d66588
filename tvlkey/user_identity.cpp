#include "user_identity.h"

#include "openssl_handles.h"

#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <cstdio>

namespace tvlkey {
namespace {

constexpr unsigned int kRsaBits = 2048;
constexpr int kSerialBits = 128;
constexpr long kValiditySeconds = 630720000L;  // 7300 days

PkeyPtr generateRsaKey()
{
    PkeyContextPtr context(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* key = nullptr;
    if (!context || EVP_PKEY_keygen_init(context.get()) != 1 ||
        EVP_PKEY_CTX_set_rsa_keygen_bits(context.get(), kRsaBits) != 1 ||
        EVP_PKEY_keygen(context.get(), &key) != 1)
        return nullptr;
    return PkeyPtr(key);
}

bool _add_ext(X509* certificate, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    X509ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

bool setRandomSerial(X509* certificate)
{
    BignumPtr serial(BN_new());
    // Top bit set, so the serial always has its full 128 bits.
    if (!serial || BN_rand(serial.get(), kSerialBits, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY) != 1)
        return false;
    ASN1_INTEGER* number = BN_to_ASN1_INTEGER(serial.get(), nullptr);
    const bool set = number != nullptr && X509_set_serialNumber(certificate, number) == 1;
    ASN1_INTEGER_free(number);
    return set;
}

bool setSelfSignedName(X509* certificate, const char* userId)
{
    X509_NAME* subject = X509_get_subject_name(certificate);
    return X509_NAME_add_entry_by_txt(subject, "C", MBSTRING_ASC,
                                      reinterpret_cast<const unsigned char*>("US"), -1, -1,
                                      0) == 1 &&
           X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                      reinterpret_cast<const unsigned char*>(userId), -1, -1,
                                      0) == 1 &&
           X509_set_issuer_name(certificate, subject) == 1;
}

X509Ptr buildCertificate(const char* userId, EVP_PKEY* key)
{
    X509Ptr certificate(X509_new());
    const bool built =
        certificate && X509_set_version(certificate.get(), 2) == 1 &&
        setRandomSerial(certificate.get()) &&
        X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0) != nullptr &&
        X509_gmtime_adj(X509_getm_notAfter(certificate.get()), kValiditySeconds) != nullptr &&
        X509_set_pubkey(certificate.get(), key) == 1 &&
        setSelfSignedName(certificate.get(), userId) &&
        _add_ext(certificate.get(), NID_basic_constraints, "critical,CA:TRUE") &&
        _add_ext(certificate.get(), NID_key_usage, "critical,keyCertSign,cRLSign") &&
        _add_ext(certificate.get(), NID_subject_key_identifier, "hash") &&
        _add_ext(certificate.get(), NID_netscape_cert_type, "sslCA") &&
        _add_ext(certificate.get(), NID_netscape_comment, "example comment extension") &&
        X509_sign(certificate.get(), key, EVP_sha1()) > 0;
    return built ? std::move(certificate) : nullptr;
}

// The PEM text written into a memory BIO, as a new NUL-terminated text.
TextPtr readBio(BIO* bio, const char* allocationFailure)
{
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio, &data);
    if (length <= 0 || data == nullptr) {
        puts("Failed to read bio");
        return nullptr;
    }
    TextPtr text = copyText(std::string_view(data, static_cast<std::size_t>(length)));
    if (!text)
        puts(allocationFailure);
    return text;
}

TextPtr certificatePem(X509* certificate)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1)
        return nullptr;
    return readBio(bio.get(), "Failed memory allocation : pub key");
}

TextPtr privateKeyPem(EVP_PKEY* key)
{
    // A secure memory BIO wipes the clear private key when it grows and when it is freed.
    BioPtr bio(BIO_new(BIO_s_secmem()));
    if (!bio || PEM_write_bio_PKCS8PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr,
                                              nullptr) != 1) {
        puts("Failed to write private key to bio");
        return nullptr;
    }
    return readBio(bio.get(), "Failed memory allocation : priv key");
}

}  // namespace

bool generateUserIdentity(const char* userId, UserIdentity& identity)
{
    if (userId == nullptr)
        return false;
    const PkeyPtr key = generateRsaKey();
    if (!key)
        return false;
    const X509Ptr certificate = buildCertificate(userId, key.get());
    if (!certificate)
        return false;
    TextPtr certificateText = certificatePem(certificate.get());
    TextPtr privateKeyText = privateKeyPem(key.get());
    if (!certificateText || !privateKeyText)
        return false;
    identity.certificate = std::move(certificateText);
    identity.privateKey = std::move(privateKeyText);
    return true;
}

}  // namespace tvlkey
