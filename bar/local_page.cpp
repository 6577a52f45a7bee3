#include "local_page.h"

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string DecodeComponent(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

const char kPageHead[] =
    "<!DOCTYPE html>\r\n"
    "<html><head><meta charset=\"Shift_JIS\"><title>Pelorin</title></head>\r\n"
    "<body>\r\n";

}  // namespace

std::vector<FormField> DecodeFormBody(const std::string& body) {
    std::vector<FormField> fields;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos) end = body.size();
        std::string piece = body.substr(start, end - start);
        if (!piece.empty()) {
            size_t equals = piece.find('=');
            FormField field;
            field.name = DecodeComponent(piece.substr(0, equals));
            if (equals != std::string::npos) field.value = DecodeComponent(piece.substr(equals + 1));
            fields.push_back(std::move(field));
        }
        start = end + 1;
    }
    return fields;
}

std::string EscapeHtml(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
        bool plain = c >= 0x20 && c <= 0x7E && c != '&' && c != '<' && c != '>' && c != '"' && c != '\'';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += "&#" + std::to_string(static_cast<unsigned long>(c)) + ";";
        }
    }
    return out;
}

std::string MakePostPage(const std::string& action, const std::vector<FormField>& fields,
                         ToCodePoints decode) {
    std::string page = kPageHead;
    page += "<form id=\"pelorin\" method=\"post\" action=\"" + EscapeHtml(decode(action)) +
            "\" accept-charset=\"Shift_JIS\" enctype=\"application/x-www-form-urlencoded\">\r\n";
    for (const FormField& field : fields) {
        page += "<input type=\"hidden\" name=\"" + EscapeHtml(decode(field.name)) + "\" value=\"" +
                EscapeHtml(decode(field.value)) + "\">\r\n";
    }
    page += "<noscript><input type=\"submit\" value=\"Pelorin\"></noscript>\r\n</form>\r\n";
    // A field named "submit" would hide the form's own submit method, so it is called through
    // the prototype.
    page += "<script>HTMLFormElement.prototype.submit.call(document.getElementById(\"pelorin\"));</script>\r\n";
    page += "</body></html>\r\n";
    return page;
}

std::string MakeRedirectPage(const std::string& address, ToCodePoints decode) {
    std::string page = kPageHead;
    // The address is read back from the link, so it never has to be escaped for a script.
    page += "<p><a id=\"pelorin\" href=\"" + EscapeHtml(decode(address)) + "\">Pelorin</a></p>\r\n";
    page += "<script>location.replace(document.getElementById(\"pelorin\").href);</script>\r\n";
    page += "</body></html>\r\n";
    return page;
}
