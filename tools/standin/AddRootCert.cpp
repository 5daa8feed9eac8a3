// OvAddRootCert <certificate.der>: puts a certificate into the local
// machine's Root store, so that WinHTTP trusts servers whose certificates it
// signed. Run by tools/test on every start: adding a certificate that is
// already there changes nothing. Exit code 0 on success, else the error.
#include <cstdio>
#include <vector>

#include "OvWindows.h"

namespace {

DWORD ReadAll(const char* path, std::vector<BYTE>* bytes) {
  FILE* file = fopen(path, "rb");
  if (!file) return ERROR_FILE_NOT_FOUND;
  BYTE buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0)
    bytes->insert(bytes->end(), buffer, buffer + n);
  fclose(file);
  return bytes->empty() ? ERROR_INVALID_DATA : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: OvAddRootCert <certificate.der>\n");
    return ERROR_INVALID_PARAMETER;
  }
  std::vector<BYTE> der;
  if (const DWORD error = ReadAll(argv[1], &der)) {
    fprintf(stderr, "OvAddRootCert: cannot read %s\n", argv[1]);
    return static_cast<int>(error);
  }
  PCCERT_CONTEXT cert =
      CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
  if (!cert) {
    const DWORD error = GetLastError();
    fprintf(stderr, "OvAddRootCert: not a DER certificate (%lu)\n", error);
    return static_cast<int>(error);
  }
  HCERTSTORE store =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
  DWORD error = store ? 0 : GetLastError();
  if (store &&
      !CertAddCertificateContextToStore(store, cert, CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
    error = GetLastError();
  }
  if (store) CertCloseStore(store, 0);
  CertFreeCertificateContext(cert);
  if (error)
    fprintf(stderr, "OvAddRootCert: the Root store refused the certificate (%lu)\n", error);
  return static_cast<int>(error);
}
