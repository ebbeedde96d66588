#include "VolumeConfig.h"

Cipher::CipherAlgorithm findCipherAlgorithm(const char* name, int keyLength) {
    for (const Cipher::CipherAlgorithm& algorithm : Cipher::GetAlgorithmList(false)) {
        if (algorithm.name == name && algorithm.keyLength.allowed(keyLength)) return algorithm;
    }
    return Cipher::CipherAlgorithm{};
}
