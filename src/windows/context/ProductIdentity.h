#pragma once
#include <QString>

class AppContext;

// The names the windows show: product, company, the company's website and home page.
struct ProductIdentity {
    QString productName;
    QString companyName;
    QString companyWebsite;
    QString companyHomePage;
};

// Fills the product identity from the version information, and nothing else.
void fillProductIdentity(AppContext& ctx);

// At start-up: fills the product identity and switches skinning on.
void initProductIdentity(AppContext& ctx);
