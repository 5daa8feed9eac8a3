// Writes a simulated card's unit information file (and, on request, its
// link file) for trying the programs by hand: tools/run and manual tests.
//
//   OvCardMaker ROOT [--device TEXT] [--pairing HEX] [--ccid HEX]
//               [--model HEX] [--format HEX] [--link]
//               [--record DATAID:VERSION:YEAR:STATUS[:SRC[:DST]]]...
//               [--register NICKNAME [--register-only]]
//
// ROOT is a drive ("E:") or any folder standing in for a card's root. Numbers
// are hexadecimal; YEAR is binary-coded decimal as stored (2009 for 2009).
// --register also enters the card's unit as a registered user of this PC
// (the user list of the data root), so the main program opens its launcher
// for it; with --register-only the card's files are left as they are.
// Exit code 0 written, 1 bad arguments, 2 the files could not be written.
#include "CardMaker.h"
#include "OstrovelleLite/UserListFile.h"
#include "StringUtil.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

bool ParseHex(const std::string& text, uint32_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const unsigned long v = strtoul(text.c_str(), &end, 16);
  if (*end != '\0') return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

bool AddRecord(ovtest::CCardMaker& maker, const std::string& text) {
  const std::vector<std::string> parts = SplitString(text, ":", 6);
  if (parts.size() < 4) return false;
  uint32_t values[4];
  for (int i = 0; i < 4; ++i) {
    if (!ParseHex(parts[i], &values[i])) return false;
  }
  maker.AddRecord(values[0], values[1], static_cast<uint16_t>(values[2]),
                  static_cast<uint16_t>(values[3]), parts.size() > 4 ? parts[4] : std::string(),
                  parts.size() > 5 ? parts[5] : std::string());
  return true;
}

int Usage() {
  fprintf(stderr,
          "usage: OvCardMaker ROOT [--device TEXT] [--pairing HEX] [--ccid HEX] [--model HEX]\n"
          "                   [--format HEX] [--link] "
          "[--record DATAID:VERSION:YEAR:STATUS[:SRC[:DST]]]...\n"
          "                   [--register NICKNAME [--register-only]]\n");
  return 1;
}

// The unit as a registered user; an already registered unit is kept.
bool Register(const std::string& device, const std::string& nickname, uint32_t ccid,
              uint8_t model) {
  CUserListFile users;
  users.Load();
  if (users.Exists(device)) return true;
  return users.AddUser(device, nickname, ccid, std::string(), model);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string root = argv[1];
  if (root.size() == 1) root += ':';
  if (root.back() != '\\') root += '\\';
  ovtest::CCardMaker maker;
  bool with_link = false;
  bool write_card = true;
  std::string nickname;
  // What --register enters, as the card gets it.
  std::string device = "DIRU0000000001";
  uint32_t ccid = 0;
  uint8_t model = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--link") {
      with_link = true;
      continue;
    }
    if (option == "--register-only") {
      write_card = false;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    const std::string value = argv[++i];
    uint32_t number = 0;
    if (option == "--device") {
      maker.DeviceNo(value);
      device = value;
    } else if (option == "--register") {
      if (value.empty()) return Usage();
      nickname = value;
    } else if (option == "--record") {
      if (!AddRecord(maker, value)) return Usage();
    } else if (!ParseHex(value, &number)) {
      return Usage();
    } else if (option == "--pairing") {
      maker.Pairing(number);
    } else if (option == "--ccid") {
      maker.CcidHead(number);
      ccid = number;
    } else if (option == "--model") {
      maker.Model(static_cast<uint8_t>(number));
      model = static_cast<uint8_t>(number);
    } else if (option == "--format") {
      maker.FormatVersion(number);
    } else {
      return Usage();
    }
  }
  if (!write_card && nickname.empty()) return Usage();
  if (!nickname.empty()) {
    if (!Register(device, nickname, ccid, model)) {
      fprintf(stderr, "OvCardMaker: cannot register %s in the user list\n", device.c_str());
      return 2;
    }
    printf("%s registered as \"%s\"\n", device.c_str(), nickname.c_str());
  }
  if (!write_card) return 0;
  if (!maker.WriteCard(root, with_link)) {
    fprintf(stderr, "OvCardMaker: cannot write the card files under %s\n", root.c_str());
    return 2;
  }
  printf("card written under %s (%u records%s)\n", root.c_str(),
         static_cast<unsigned>(maker.Records().size()), with_link ? ", link file too" : "");
  return 0;
}
