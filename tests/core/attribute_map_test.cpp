#include "quorlane/attribute_map.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace quorlane {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs pairs_of(const AttributeMap& map) {
  Pairs out;
  for (const AttributeMap::Entry& entry : map.entries()) out.emplace_back(entry.key, entry.value);
  return out;
}

TEST(AttributeMap, RepeatedKeyReplacesInPlace) {
  AttributeMap map;
  map.insert_view("Номер", "1");
  map.insert_view("Дата", "01.01.2024");
  map.insert_view("Номер", "2");
  EXPECT_EQ(pairs_of(map), (Pairs{{"Номер", "2"}, {"Дата", "01.01.2024"}}));
  ASSERT_NE(map.find("Номер"), nullptr);
  EXPECT_EQ(*map.find("Номер"), "2");
  EXPECT_EQ(map.find("Номер "), nullptr);  // byte-exact keys
  EXPECT_EQ(map.find(""), nullptr);
}

TEST(AttributeMap, EmptyKeyAndValueAreOrdinaryEntries) {
  AttributeMap map;
  map.insert_view("", "");
  map.insert_view("a", "");
  ASSERT_NE(map.find(""), nullptr);
  EXPECT_EQ(*map.find(""), "");
  EXPECT_EQ(map.size(), 2u);
}

TEST(AttributeMap, EraseKeepsOrderAndLookups) {
  std::vector<std::string> keys;
  for (int i = 0; i < 40; ++i) keys.push_back(std::to_string(i));
  AttributeMap map;
  for (const std::string& key : keys) map.insert_view(key, "v");
  EXPECT_TRUE(map.erase("3"));
  EXPECT_FALSE(map.erase("3"));
  EXPECT_FALSE(map.erase("missing"));
  ASSERT_EQ(map.size(), 39u);
  EXPECT_EQ(map.entries()[2].key, "2");
  EXPECT_EQ(map.entries()[3].key, "4");
  for (int i = 0; i < 40; ++i) {
    EXPECT_EQ(map.find(std::to_string(i)) != nullptr, i != 3) << i;
  }
  map.insert_view("3", "back");
  EXPECT_EQ(map.entries().back().key, "3");  // a key added again goes to the end
}

TEST(AttributeMap, ManyKeysGrowTheIndex) {
  std::vector<std::string> keys;
  for (int i = 0; i < 1000; ++i) keys.push_back("ПлательщикКлюч" + std::to_string(i));
  AttributeMap map;
  for (const std::string& key : keys) map.insert_view(key, key);
  for (const std::string& key : keys) map.insert_view(key, "second");
  ASSERT_EQ(map.size(), keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(map.entries()[i].key, keys[i]);
    ASSERT_NE(map.find(keys[i]), nullptr);
    EXPECT_EQ(*map.find(keys[i]), "second");
  }
}

TEST(AttributeMap, CopiesSurviveTheirSourcesAndClearStartsEmpty) {
  AttributeMap map;
  {
    std::string key = "Получатель";
    std::string value(10000, 'x');  // larger than one block of the map's own store
    map.insert_copy(key, value);
    for (int i = 0; i < 200; ++i) map.insert_copy(std::to_string(i) + key, std::to_string(i) + value);
    key.assign(key.size(), '?');
    value.assign(value.size(), '?');
  }
  EXPECT_EQ(*map.find("Получатель"), std::string(10000, 'x'));
  EXPECT_EQ(*map.find("199Получатель"), "199" + std::string(10000, 'x'));
  map.clear();
  EXPECT_TRUE(map.empty());
  EXPECT_EQ(map.find("Получатель"), nullptr);
  map.insert_view("k", "v");
  EXPECT_EQ(pairs_of(map), (Pairs{{"k", "v"}}));
}

TEST(AttributeMap, MakeOwnedDetachesFromViewedTexts) {
  std::string text = "Отправитель=Бухгалтерия";
  AttributeMap map;
  map.insert_view(std::string_view(text).substr(0, 22), std::string_view(text).substr(23));
  map.insert_copy("Получатель", "Банк");
  map.make_owned();
  text.assign(text.size(), '#');
  EXPECT_EQ(pairs_of(map), (Pairs{{"Отправитель", "Бухгалтерия"}, {"Получатель", "Банк"}}));
  AttributeMap moved = std::move(map);
  EXPECT_EQ(pairs_of(moved), (Pairs{{"Отправитель", "Бухгалтерия"}, {"Получатель", "Банк"}}));
}

}  // namespace
}  // namespace quorlane
