// The key blob record and its XML form.
#include "tvl_key_blob.h"

#include "text_buffers.h"

#include <openssl/crypto.h>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <boost/uuid/random_generator.hpp>
#include <boost/uuid/uuid_io.hpp>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <sstream>
#include <string>

namespace {

namespace pt = boost::property_tree;

constexpr char kPrivatePath[] = "key-store.user-keys.key-pair.private";
constexpr char kPublicPath[] = "key-store.user-keys.key-pair.public";
constexpr char kKekPath[] = "key-store.user-keys.kek";
constexpr char kShekIdPath[] = "key-store.user-keys.shek-id";
constexpr char kShekPath[] = "key-store.user-keys.shek";

char* copyText(const std::string& text) { return tvlkey::copyText(text).release(); }

// Wipes the document's copies of the private key and the symmetric keys when it goes.
struct WipedString {
    std::string text;
    ~WipedString()
    {
        if (!text.empty())
            OPENSSL_cleanse(text.data(), text.size());
    }
};

}  // namespace

extern "C" key_blob* new_key_blob(void)
{
    return static_cast<key_blob*>(calloc(1, sizeof(key_blob)));
}

extern "C" void free_key_blob(key_blob* blob)
{
    if (blob == nullptr)
        return;
    for (char** field : {&blob->private_key, &blob->public_key, &blob->kek, &blob->shek_id,
                         &blob->shek})
        tvlkey::free_and_null_str(field);
    free(blob);
}

extern "C" int write_key_blob(const key_blob* blob, char** out)
{
    if (blob == nullptr || out == nullptr || blob->private_key == nullptr ||
        blob->public_key == nullptr || blob->kek == nullptr || blob->shek_id == nullptr ||
        blob->shek == nullptr)
        return -1;
    try {
        pt::ptree tree;
        tree.put(kPrivatePath, blob->private_key);
        tree.put(kPublicPath, blob->public_key);
        tree.put(kKekPath, blob->kek);
        tree.put(kShekIdPath, blob->shek_id);
        tree.put(kShekPath, blob->shek);
        std::ostringstream stream;
        pt::write_xml(stream, tree);
        WipedString document{stream.str()};
        char* text = copyText(document.text);
        if (text == nullptr)
            return -1;
        *out = text;
        return static_cast<int>(document.text.size());
    } catch (const std::exception&) {
        return -1;
    }
}

extern "C" int read_key_blob(const char* text, key_blob** out)
{
    if (text == nullptr || out == nullptr)
        return -1;
    pt::ptree tree;
    try {
        std::istringstream stream{std::string(text)};
        pt::read_xml(stream, tree);
    } catch (const std::exception&) {
        fputs("Error parsing decrypted key blob.  encrypted key blob have been truncated.", stdout);
        return -1;
    }
    // Text that parses but lacks a required entry is no key blob either.
    const auto privateKey = tree.get_optional<std::string>(kPrivatePath);
    const auto publicKey = tree.get_optional<std::string>(kPublicPath);
    const auto kek = tree.get_optional<std::string>(kKekPath);
    if (!privateKey || !publicKey || !kek) {
        puts("Decrypted key blob lacks its key pair or kek.");
        return -1;
    }
    key_blob* blob = new_key_blob();
    if (blob == nullptr)
        return -1;
    blob->private_key = copyText(*privateKey);
    blob->public_key = copyText(*publicKey);
    blob->kek = copyText(*kek);
    blob->shek_id = copyText(tree.get<std::string>(kShekIdPath, ""));
    blob->shek = copyText(tree.get<std::string>(kShekPath, ""));
    if (!blob->private_key || !blob->public_key || !blob->kek || !blob->shek_id || !blob->shek) {
        free_key_blob(blob);
        return -1;
    }
    *out = blob;
    return 0;
}

extern "C" int get_uuid(char** out)
{
    if (out == nullptr)
        return -1;
    try {
        boost::uuids::random_generator_mt19937 generate;
        const std::string text = boost::uuids::to_string(generate());
        char* copy = copyText(text);
        if (copy == nullptr)
            return -1;
        *out = copy;
        return static_cast<int>(text.size());
    } catch (const std::exception&) {
        return -1;
    }
}
