// The reader of the unit's trip files ("ProbeData.dat" in a trip folder of
// the card's "PROBE" folder): deciphers the file, writes out the driving-
// history pieces it carries into the send-data file's folder, expands and
// joins them into one "DRVHISREC.DH3" or "DRVHISREC.DH5", and writes the
// send-data file. The pieces' content is carried, never interpreted.
// Thread contract: see ProbeReader.h.
#pragma once

#include "ProbeReader.h"

class CProbeFile final : public CProbeReader {
 public:
  explicit CProbeFile(char drive, HANDLE abort_event = nullptr);
  ~CProbeFile() override;

  DWORD ClearTemporaryFile() override;
  ProbeDiscrimination GetProbeDiscrimination() const override;

  // 0 none yet, 9 "DRVHISREC.DH3" pieces, 10 "DRVHISREC.DH5" pieces.
  DWORD Model() const { return _model; }
  const std::vector<std::string>& Pieces() const { return _pieces; }

  DWORD _ReadFile();
  DWORD _CombineDrvHiRecFile();

 protected:
  DWORD ReadStep() override { return _ReadFile(); }
  DWORD CombineStep() override { return _CombineDrvHiRecFile(); }
  const char* JoinedName() const override;

 private:
  // Walks the deciphered file's blocks and writes out the pieces.
  DWORD ExtractPieces(const std::vector<uint8_t>& bytes, const std::string& folder);
  // Reads an expanded piece whole and deletes it.
  DWORD ReadExpandedPiece(const std::string& path, std::vector<uint8_t>* piece);
  // Adds a later piece's block count to the joined file's header and its
  // records to the file's end.
  DWORD AppendPiece(const std::vector<uint8_t>& piece, HANDLE joined, uint32_t header[2]);
  DWORD DeleteExpandedFiles();
  void DeleteTripFolder();

  std::vector<std::string> _pieces;  // sorted ascending before use
  std::string _ccid;
  std::string _uid;
  DWORD _model = 0;
};
