#include "openssl.h"

#include <openssl/err.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <cstdlib>
#include <cstring>

#include "Assert.h"
#include "Mutex.h"

namespace {

// Providers stay loaded from the first init to the matching shutdown.
struct LoadedProviders {
    OSSL_PROVIDER* legacy = nullptr;
    OSSL_PROVIDER* standard = nullptr;
    int users = 0;
};

Mutex providerMutex;
LoadedProviders providers;

}  // namespace

void openssl_init(bool threaded) {
    OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CRYPTO_STRINGS, nullptr);
    {
        Lock lock(providerMutex);
        if (providers.users++ == 0) {
            // Loading any provider explicitly stops the implicit default one, so load both.
            providers.standard = OSSL_PROVIDER_load(nullptr, "default");
            providers.legacy = OSSL_PROVIDER_load(nullptr, "legacy");
            if (providers.legacy == nullptr) {
                rError("OpenSSL legacy provider not available: Blowfish volumes cannot be opened");
                ERR_clear_error();
            }
        }
    }
    unsigned int seed = 0;
    if (RAND_bytes(reinterpret_cast<unsigned char*>(&seed), sizeof(seed)) == 1) std::srand(seed);
    // OpenSSL 3 manages its own thread ids and locks; nothing to install when threaded.
    (void)threaded;
}

void openssl_shutdown(bool threaded) {
    (void)threaded;
    Lock lock(providerMutex);
    if (providers.users == 0 || --providers.users > 0) return;
    if (providers.legacy != nullptr) OSSL_PROVIDER_unload(providers.legacy);
    if (providers.standard != nullptr) OSSL_PROVIDER_unload(providers.standard);
    providers = LoadedProviders{};
}
