// tunelet-inspect's JSON output: escaping and the null / "" rule.
#include <gtest/gtest.h>

#include "../../../tools/inspect/json_writer.h"

using namespace tunelet;
using tunelet::inspect::JsonObject;
using tunelet::inspect::JsonString;

TEST(InspectJson, EscapesAndUtf8) {
  EXPECT_EQ(JsonString(u"a\"b\\c/\n\r\t\b\f\x01\x1F"), "\"a\\\"b\\\\c/\\n\\r\\t\\b\\f\\u0001\\u001f\"");
  EXPECT_EQ(JsonString(u"\u00E9\u0416\U0001F600"), "\"\xC3\xA9\xD0\x96\xF0\x9F\x98\x80\"");
  EXPECT_EQ(JsonString(std::u16string(1, char16_t(0xD800))), "\"\xEF\xBF\xBD\"");  // lone surrogate
}

TEST(InspectJson, AbsentIsNullAndEmptyIsEmptyString) {
  JsonObject inner;
  inner.String("time", u"3:37");
  JsonObject o;
  o.Text("title", OptText()).Text("artist", OptText(u"")).Number("size", 4294967295u).Object("text", inner);
  EXPECT_EQ(o.str(), "{\"title\":null,\"artist\":\"\",\"size\":4294967295,\"text\":{\"time\":\"3:37\"}}");
}
