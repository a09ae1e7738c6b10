#include "ui/options_about.h"

#include <string>

#include "common/text.h"
#include "model/maker_site.h"

namespace tunelet {

namespace {

// Where the first line stands when the tab opens.
constexpr int kFirstLineMargin = 8;

// The host without "www.", the part a mail address takes.
std::string MailDomain() {
  const std::string host = kMakerHost;
  const std::string www = "www.";
  return host.compare(0, www.size(), www) == 0 ? host.substr(www.size()) : host;
}

}  // namespace

std::vector<CreditsLine> CreditsLines() {
  using S = CreditsStyle;
  return {
      {u"Tunelet", S::Heading},
      {u"плагин для Talkeo", S::Plain},
      {u"", S::Plain},
      {u"Автор", S::Heading},
      {u"ORB2000", S::Plain},
      {u"", S::Plain},
      {u"Благодарности", S::Heading},
      {u"всем, кто испытывал бета-версии", S::Plain},
      {u"авторам языковых файлов", S::Plain},
      {u"всем, кто присылал отчёты об ошибках", S::Plain},
      {u"и пожелания", S::Plain},
      {u"", S::Plain},
      {u"Домашняя страница", S::Heading},
      {AsciiToUtf16(std::string(kMakerHost) + kHomePageObject), S::Link},
      {u"", S::Plain},
      {u"Связь с автором", S::Heading},
      {AsciiToUtf16("orb2000@" + MailDomain()), S::Link},
  };
}

int InitialCreditsOffset(int boxHeight) { return boxHeight > kFirstLineMargin ? boxHeight - kFirstLineMargin : 0; }

int NextCreditsOffset(int offset, int boxHeight, int textHeight) {
  const int next = offset + 1;
  // Offset boxHeight + textHeight puts the last line's bottom at the top edge.
  return next > boxHeight + textHeight ? 0 : next;
}

}  // namespace tunelet
