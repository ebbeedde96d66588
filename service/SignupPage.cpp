#include "SignupPage.h"

#include "ApiError.h"

#include <string_view>

namespace tolvarin::service {

namespace {

std::string escapeHtml(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string page(std::string_view title, std::string_view body)
{
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + std::string(title) +
           "</title></head>\n<body>\n<h1>" + std::string(title) + "</h1>\n" + std::string(body) + "\n</body></html>\n";
}

std::string form(std::string_view message)
{
    std::string notice = message.empty() ? "" : "<p class=\"error\">" + escapeHtml(message) + "</p>\n";
    return page("Create a Tolvarin account",
                notice +
                    "<form method=\"post\" action=\"/users\">\n"
                    "<p><label>E-mail <input type=\"email\" name=\"email\" required></label></p>\n"
                    "<p><label>First name <input type=\"text\" name=\"first_name\" required></label></p>\n"
                    "<p><label>Password <input type=\"password\" name=\"password\" required></label></p>\n"
                    "<p><button type=\"submit\">Create account</button></p>\n"
                    "</form>");
}

std::string field(const nlohmann::json& parameters, const char* name)
{
    auto value = parameters.value(name, nlohmann::json());
    return value.is_string() ? value.get<std::string>() : std::string();
}

}  // namespace

void SignupPage::addRoutes(ApiRouter& router)
{
    router.add("GET", "/users/new", ApiRouter::Access::anyone,
               [](const ApiRequest&, const auto&) { return ApiResponse::html(form("")); });
    router.add("POST", "/users", ApiRouter::Access::anyone,
               [this](const ApiRequest& request, const auto&) { return createAccount(request); });
}

ApiResponse SignupPage::createAccount(const ApiRequest& request)
{
    std::string email = field(request.parameters, "email");
    try {
        SecureBuffer password(field(request.parameters, "password"));
        accounts_.createUser(email, field(request.parameters, "first_name"), password);
    } catch (const ApiError& error) {
        return ApiResponse::html(form(error.what()), error.status());
    }
    return ApiResponse::html(page("Account created", "<p>The account " + escapeHtml(email) +
                                                         " is ready. Sign in with it in Tolvarin.</p>"),
                             201);
}

}  // namespace tolvarin::service
