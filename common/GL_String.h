#pragma once
// Conversions between narrow text of a locale and wide text, and two wide-text helpers.
#include <locale>
#include <string>
#include <vector>

// The user's default locale: narrow text in the ANSI code page (UTF-8 on Linux).
const std::locale& GL_STRING_DefaultLocale();

std::wstring GL_STRING_ConvMBSToWCS(const std::string& text,
                                    const std::locale& loc = GL_STRING_DefaultLocale());
std::string GL_STRING_ConvWCSToMBS(const std::wstring& text,
                                   const std::locale& loc = GL_STRING_DefaultLocale());

void GL_STRING_Split(const std::wstring& text, const std::wstring& delimiter,
                     std::vector<std::wstring>& pieces);
std::wstring GL_STRING_ReplaceAll(const std::wstring& source, const std::wstring& search,
                                  const std::wstring& replacement);
std::string GL_STRING_ReplaceAllA(const std::string& source, const std::string& search,
                                  const std::string& replacement);
