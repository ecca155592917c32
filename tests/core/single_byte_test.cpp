// The single-byte codecs (windows-1251, IBM866): each byte decodes to its table's character and encodes back, and
// what makes bytes declare themselves DOS.
#include <gtest/gtest.h>

#include <string>

#include "quorlane/declared_encoding.h"
#include "quorlane/decode.h"
#include "quorlane/single_byte_codecs.h"
#include "quorlane/utf8.h"
#include "test_support.h"

namespace quorlane {
namespace {

using testing::to_cp1251;
using testing::to_cp866;

TEST(SingleByteCodecs, EveryByteDecodesToItsCharacterAndEncodesBack) {
  const struct {
    Encoding encoding;
    const SingleByteCodec& codec;
    const SingleByteEncoder& encoder;
  } codecs[] = {{Encoding::Cp1251, kWindows1251, kWindows1251Encoder}, {Encoding::Cp866, kIbm866, kIbm866Encoder}};
  for (const auto& [encoding, codec, encoder] : codecs) {
    std::string all;
    std::string expected;
    for (unsigned byte = 0; byte < 0x100; ++byte) {
      all += static_cast<char>(byte);
      char utf8[kMaxUtf8Bytes];
      expected.append(utf8, put_utf8(utf8, codec.character(static_cast<unsigned char>(byte))));
      EXPECT_EQ(encoder.byte(codec.character(static_cast<unsigned char>(byte))), byte) << encoding_name(encoding);
    }
    EXPECT_EQ(to_utf8(all, encoding), expected) << encoding_name(encoding);
    // Cut anywhere around the decoders' eight- and sixteen-byte steps, the parts make the same text.
    for (std::size_t cut = 0; cut < 40; ++cut) {
      EXPECT_EQ(to_utf8(all.substr(0, cut), encoding) + to_utf8(all.substr(cut), encoding), expected) << cut;
    }
    EXPECT_EQ(encoder.byte(U'\u4E00'), 0) << "a character the encoding lacks";
  }
  const std::string letters = "АБВ абв прст ЭЮЯ эюя Ёё № 123";
  EXPECT_EQ(to_utf8(to_cp866(letters), Encoding::Cp866), letters);
  EXPECT_EQ(to_utf8(to_cp1251(letters), Encoding::Cp1251), letters);
  EXPECT_EQ(to_utf8("\xC4\xB3\xDB", Encoding::Cp866), "─│█");
}

// A header's Кодировка line, written in cp866, that says DOS; the last one before the first section counts.
TEST(DeclaredEncoding, IsTheHeadersLastKodirovkaLineInCp866) {
  const std::string start = "1CClientBankExchange\r\nВерсияФормата=1.03\r\n";
  const struct {
    const char* what;
    std::string bytes;
    bool dos;
  } cases[] = {
      {"declared", to_cp866(start + "Кодировка=DOS\r\nКонецФайла\r\n"), true},
      {"line feeds alone, no end", to_cp866(start + "Кодировка=DOS"), true},
      {"Windows", to_cp866(start + "Кодировка=Windows\r\n"), false},
      {"the last line counts", to_cp866(start + "Кодировка=DOS\r\nКодировка=Windows\r\n"), false},
      {"written in windows-1251", to_cp1251(start + "Кодировка=DOS\r\n"), false},
      {"written in UTF-8", start + "Кодировка=DOS\r\n", false},
      {"after the first section", to_cp866(start + "СекцияРасчСчет\r\nКодировка=DOS\r\n"), false},
      {"after a document's opening line", to_cp866(start + "СекцияДокумент=Платежное поручение\nКодировка=DOS\n"), false},
      {"blanks around the value", to_cp866(start + "Кодировка= DOS\r\n"), false},
      {"lower case", to_cp866(start + "Кодировка=dos\r\n"), false},
      {"a carriage return that ends the text stays", to_cp866(start + "Кодировка=DOS\r"), false},
      {"nothing", "", false},
      {"beyond the first 64 KiB", to_cp866(start + std::string(kHeaderBytes, '\n') + "Кодировка=DOS\r\n"), false},
  };
  for (const auto& c : cases) EXPECT_EQ(declares_dos(c.bytes), c.dos) << c.what;
}

}  // namespace
}  // namespace quorlane
