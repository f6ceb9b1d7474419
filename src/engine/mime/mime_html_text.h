#pragma once

#include <QString>

// Plain text of an HTML body for reading: tags dropped, block elements and
// <br> as line breaks, entities decoded, white space collapsed. The content of
// <head>, <script>, <style>, comments and elements hidden with display:none is
// left out. Nothing is ever fetched: the HTML is only read as text.
QString MimeHtmlToText(const QString& html);
