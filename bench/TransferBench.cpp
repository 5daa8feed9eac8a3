// OvTransferBench: the map charge's rebuild and transfer measured for
// transfer_bench.sh.
//   prepare <data folder> <megabytes>: writes a data set of that size (files
//     of several sizes, plain, gzip of the whole file and gzip of each
//     piece, in pieces of several sizes) as the download leaves it, and
//     prints one manifest line per file for the reference pipeline:
//     "<mode> <name> <piece> <piece> ..." (mode plain, gzip; paths relative
//     to the data folder, with "/").
//   run <data folder> <drive letter>: transfers the data set to the card
//     and verifies it there; prints "ours <ms>".
//   phases <data folder> <drive letter>: the same work step by step, and
//     prints "phase <name> <ms>" for the rebuild of each kind (pieces read,
//     unpacked and written, the CRC-16 summed on the way), the copy and the
//     verification on the card.
//   crc <megabytes>: prints "crc16 <MB/s>" and "crc32 <MB/s>" over one buffer.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "Clock.h"
#include "ConfImageBuilder.h"
#include "Folders.h"
#include "OstrovelleLite/NPCrcCalc.h"
#include "OstrovelleLite/WholeFile.h"
#include "OvWindows.h"
#include "StringUtil.h"
#include "files/CoreDownloadManage.h"
#include "map/RNW_ParseConf.h"
#include "map/RecoverFile.h"
#include "util/GZipIF.h"

namespace {

constexpr uint8_t kKind = 2;
constexpr uint8_t kDetail = 1;
const char kVersion[] = "9.000001";
const char kPath[] = "BENCH\\";

std::string SetFolder(const std::string& data_folder) {
  return PathAddBackslash(data_folder) + FormatString("%02x\\%02x\\%s\\", kKind, kDetail, kVersion);
}

// Bytes that compress about as map data does: a random walk over a small
// alphabet with runs.
std::string Content(size_t size, uint32_t seed, bool compressible) {
  std::string out(size, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    out[i] = static_cast<char>(compressible ? ((state >> 28) & 0x0F) + 'A' : (state >> 24));
  }
  return out;
}

// A gzip file of the bytes, made by the core's own packer.
std::string Gzip(const std::string& bytes, const std::string& folder) {
  const std::string plain = folder + "plain.tmp";
  const std::string packed = folder + "packed.tmp";
  std::string out;
  DWORD error = 0;
  if (WriteFileReplacing(ToWide(plain), bytes, FILE_ATTRIBUTE_NORMAL, &error) &&
      CGZipIF().GZipFile(plain, packed)) {
    ReadWholeFile(packed, 0x7FFFFFFF, &out, &error);
  }
  DeleteFileA(plain.c_str());
  DeleteFileA(packed.c_str());
  return out;
}

struct FilePlan {
  const char* name;
  double share;  // of the data set's size
  size_t piece_size;
  uint16_t mode;  // 0, 0x2000 or 0x4000
};

const FilePlan kPlan[] = {
    {"roads.dat", 0.30, 16 << 20, 0},       {"names.dat", 0.05, 1 << 20, 0},
    {"small.dat", 0.002, 64 << 10, 0},      {"terrain.dat", 0.30, 4 << 20, 0x2000},
    {"poi.dat", 0.10, 8 << 20, 0x4000},     {"index.dat", 0.20, 2 << 20, 0x4000},
    {"tiny.dat", 0.0005, 16 << 10, 0x2000},
};

bool WriteBytes(const std::string& path, const std::string& bytes) {
  DWORD error = 0;
  return WriteFileReplacing(ToWide(path), bytes, FILE_ATTRIBUTE_NORMAL, &error);
}

int Prepare(const std::string& data_folder, size_t megabytes) {
  const std::string folder = SetFolder(data_folder);
  if (!CreateDirectories(folder + kPath)) return 1;
  ovtest::CConfImageBuilder image;
  image.Title("bench").Path(kPath);
  uint32_t seed = 1;
  for (const FilePlan& plan : kPlan) {
    const size_t size = static_cast<size_t>(plan.share * megabytes * 1024 * 1024) + 1;
    const std::string content = Content(size, seed++, plan.mode != 0);
    std::vector<std::string> pieces;
    if (plan.mode == 0x2000) {
      pieces = ovtest::CutIntoPieces(Gzip(content, folder), plan.piece_size);
    } else {
      pieces = ovtest::CutIntoPieces(content, plan.piece_size);
      if (plan.mode == 0x4000) {
        for (std::string& piece : pieces) piece = Gzip(piece, folder);
      }
    }
    ovtest::ConfFileSpec spec;
    spec.name = plan.name;
    spec.size = static_cast<uint32_t>(content.size());
    spec.flags = plan.mode;
    spec.value16 = NPCrcCalc::Of(content.data(), content.size());
    spec.pieces = ovtest::PiecesOf(pieces);
    image.File(spec);
    std::string line = FormatString("%s %s", plan.mode ? "gzip" : "plain", plan.name);
    for (size_t i = 0; i < pieces.size(); ++i) {
      const std::string piece = FormatString("%s.%03d", plan.name, static_cast<int>(i));
      if (!WriteBytes(folder + kPath + piece, pieces[i])) return 1;
      line += FormatString(" %02x/%02x/%s/BENCH/%s", kKind, kDetail, kVersion, piece.c_str());
    }
    printf("%s\n", line.c_str());
  }
  if (!WriteBytes(folder + "DATA.CNF", image.Build())) return 1;
  core::CDownloadManageFile manage(data_folder);
  return manage.SetDLManage(kKind, kDetail, kVersion, 100, 0, folder + "DATA.CNF") ? 0 : 1;
}

int Run(const std::string& data_folder, char drive) {
  CRecoverFile recover(nullptr);
  recover.SetDataFolder(data_folder);
  const double start = NowMs();
  const uint32_t code = recover._JointFile(drive, kVersion, kKind, kDetail);
  uint64_t size = 0;
  const uint32_t verified = code ? code
                                 : recover.CheckFile(&size, kVersion, data_folder, drive, kKind,
                                                     kDetail, CRecoverFile::kCheckVerify, 1);
  const double spent = NowMs() - start;
  if (code || verified) {
    fprintf(stderr, "transfer %08X verify %08X\n", static_cast<unsigned>(code),
            static_cast<unsigned>(verified));
    return 1;
  }
  printf("ours %.1f %llu\n", spent, static_cast<unsigned long long>(recover.GetCopiedBytes()));
  return 0;
}

// The transfer's steps one by one, file by file, summed per step.
int Phases(const std::string& data_folder, char drive) {
  const std::string folder = SetFolder(data_folder);
  std::string bytes;
  DWORD error = 0;
  if (ReadWholeFile(folder + "DATA.CNF", 1 << 24, &bytes, &error) != kWholeFileRead) return 1;
  RNW_ConfInfo info;
  RNW_ParseConf parser;
  if (!parser.Parse(bytes.data(), bytes.size(), info)) return 1;
  CRecoverFile recover(nullptr);
  std::map<std::string, double> spent;
  const std::string temp = folder + "RecoverTemp\\";
  const std::string card = FormatString("%c:\\%s", drive, kPath);
  CreateDirectories(temp);
  CreateDirectories(card);
  info.ResetFileIterator();
  while (const RNW_ConfFileInfo* file = info.NextFile()) {
    const std::string name = file->GetFileName().ToString();
    const std::string source = folder + kPath + name;
    const uint32_t count = file->GetPieceCount();
    double t = NowMs();
    uint32_t code = 0;
    if ((file->GetFlags() & 0x6000) == 0x4000) {
      code = recover._UnZipMakeFile(source, temp + name, count);
      spent["rebuild: unpack each piece"] += NowMs() - t;
    } else if ((file->GetFlags() & 0x6000) == 0x2000) {
      code = recover._MakeUnZipFile(source, temp + name, count);
      spent["rebuild: unpack the pieces"] += NowMs() - t;
    } else {
      code = recover._MakeFile(source, temp + name, count, false);
      spent["rebuild: join"] += NowMs() - t;
    }
    if (code) return 1;
    // Summed while written: the check costs nothing more.
    const bool good = recover.GetRebuiltSum().summed &&
                      recover.GetRebuiltSum().crc == (file->GetValue16() & 0xFFFF);
    t = NowMs();
    const bool copied = recover._CopyFileLite(temp + name, card + name);
    spent["copy"] += NowMs() - t;
    t = NowMs();
    const bool verified = recover._CrcCheck(card + name, file->GetValue16());
    spent["verify on the card"] += NowMs() - t;
    DeleteFileA((temp + name).c_str());
    if (!good || !copied || !verified) return 1;
  }
  RemoveDirectoryA(temp.c_str());
  for (const auto& step : spent) printf("phase %s %.1f\n", step.first.c_str(), step.second);
  return 0;
}

int Crc(size_t megabytes) {
  const std::string buffer = Content(megabytes * 1024 * 1024, 7, false);
  double best16 = 1e30;
  double best32 = 1e30;
  volatile uint32_t sink = 0;
  for (int round = 0; round < 3; ++round) {
    double t = NowMs();
    sink = sink + NPCrcCalc::Of(buffer.data(), buffer.size());
    best16 = std::min(best16, NowMs() - t);
    t = NowMs();
    sink = sink + static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(buffer.data()),
                                              static_cast<uInt>(buffer.size())));
    best32 = std::min(best32, NowMs() - t);
  }
  printf("crc16 %.1f\n", megabytes * 1000.0 / best16);
  printf("crc32 %.1f\n", megabytes * 1000.0 / best32);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "prepare" && argc == 4) return Prepare(argv[2], strtoul(argv[3], nullptr, 10));
  if (mode == "run" && argc == 4) return Run(argv[2], argv[3][0]);
  if (mode == "phases" && argc == 4) return Phases(argv[2], argv[3][0]);
  if (mode == "crc" && argc == 3) return Crc(strtoul(argv[2], nullptr, 10));
  fprintf(stderr,
          "usage: OvTransferBench prepare <data folder> <MB> | run <data folder> <drive> |\n"
          "       phases <data folder> <drive> | crc <MB>\n");
  return 2;
}
