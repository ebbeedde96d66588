#pragma once

#include "text_buffers.h"
#include "tvl_aes.h"

namespace tvlkey {

// Builds a new blob for the user (key pair, certificate, kek, share key) sealed under pk.
int generate_user_key_blob(const char* userId, aes_key* pk, TextPtr& blobText,
                           TextPtr& certificate, TextPtr& shekId);

// 0 when the blob text opens under pk.
int check_user_key_blob(aes_key* pk, const char* blobText);

int _get_kek_from_blob(aes_key* pk, const char* blobText, TextPtr& kek);
// Both empty texts when the blob holds no share key.
int _get_shek_from_blob(aes_key* pk, const char* blobText, TextPtr& shekId, TextPtr& shek);
int _get_privk_from_blob(aes_key* pk, const char* blobText, TextPtr& privateKey);
// Re-seals the blob under pk with a new share key.
int _update_shek_in_blob(aes_key* pk, const char* blobText, TextPtr& newBlobText,
                         TextPtr& newShekId);

// A new share key: its UUID and the Base64 of a random key's 48 bytes.
int _generate_shek(TextPtr& shekId, TextPtr& shek);

}  // namespace tvlkey
