// The reader of archived probe zones (units whose link file is of kind 2):
// checks the archive's frame, deciphers its head part (owner, unit and
// versions) and its data part (a gzip stream of up to 26 driving-history
// files), writes the stream out as "ARCHIVE.DAT", expands it, joins the
// packed files' records in name order into one "DRVHISREC.DH7" and writes
// the send-data file. The records are carried, never interpreted.
// Thread contract: see ProbeReader.h.
#pragma once

#include "ProbeReader.h"

class CProbeZone final : public CProbeReader {
 public:
  explicit CProbeZone(char drive, HANDLE abort_event = nullptr);
  ~CProbeZone() override;

  // An archive is never skipped: MakeSendFile leaves *skip clear.
  DWORD ClearTemporaryFile() override;
  ProbeDiscrimination GetProbeDiscrimination() const override;

  DWORD _ReadArchive();
  DWORD _CombineDrvHiRecFile();
  // Deciphers a part of the archive in place.
  static void _Decrypt(uint8_t* buffer, size_t length, const uint8_t iv[8]);

 protected:
  DWORD ReadStep() override { return _ReadArchive(); }
  DWORD CombineStep() override { return _CombineDrvHiRecFile(); }
  const char* JoinedName() const override;

 private:
  DWORD TakeHeadPart(const std::vector<uint8_t>& bytes, uint64_t head_size);
  DWORD WriteArchive(const uint8_t* data, size_t size);
  // Builds the joined file's bytes from the expanded archive.
  DWORD JoinEntries(const std::vector<uint8_t>& expanded, std::vector<uint8_t>* joined);
  DWORD WriteJoinedFile(const std::string& path, const std::vector<uint8_t>& joined);

  std::string _device_number;
  std::string _ccid;
  std::string _uid;
  std::string _unit_model;
  std::string _maker;
  std::string _application_version;
  std::string _map_version;
  std::string _archive_path;
};
