#pragma once

// Process-wide OpenSSL set-up: error strings, the "legacy" (Blowfish) and "default" providers,
// and srand seeding. OpenSSL 3 locks internally, so threaded only matters for symmetry.
void openssl_init(bool threaded);
void openssl_shutdown(bool threaded);
