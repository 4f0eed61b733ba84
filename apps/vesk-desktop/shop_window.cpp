#include "shop_window.hpp"

#include <array>

namespace vesk::desktop {

namespace {

constexpr const char* kStyle = R"css(
.shop { background: #f6f7fb; }
.shop-header { background: #ffffff; padding: 14px 24px; border-bottom: 1px solid #e6e8ef; }
.shop-logo { font-size: 20px; font-weight: 800; color: #1d1d24; }
.shop-nav { color: #5b6170; margin-left: 18px; }
.shop-hero { background: linear-gradient(120deg, #5b6cff, #8f6bff); border-radius: 18px;
  padding: 28px; color: #ffffff; }
.shop-hero-title { font-size: 26px; font-weight: 800; }
.shop-card { background: #ffffff; border-radius: 14px; padding: 12px;
  box-shadow: 0 1px 4px rgba(0,0,0,0.08); }
.shop-photo { border-radius: 10px; min-height: 110px; }
.shop-name { font-weight: 600; color: #1d1d24; }
.shop-price { color: #5b6cff; font-weight: 700; }
.operator { background: #ffffff; border-left: 1px solid #e6e8ef; padding: 14px; }
.operator-title { font-weight: 700; color: #1d1d24; }
.operator-log { color: #6b6b76; font-size: 11px; }
)css";

struct Product {
    const char* name;
    const char* price;
    const char* color;
};

constexpr std::array<Product, 6> kProducts{{
    {"Linen shirt", "$49", "#f3c7a6"},
    {"Canvas sneakers", "$65", "#a6d3f3"},
    {"Leather wallet", "$35", "#c9b39a"},
    {"Wool beanie", "$19", "#b8e0c2"},
    {"Denim jacket", "$89", "#9fb3d9"},
    {"Sun hat", "$25", "#f6e3a1"},
}};

GtkWidget* productCard(const Product& product) {
    GtkWidget* card = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_widget_add_css_class(card, "shop-card");
    GtkWidget* photo = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_add_css_class(photo, "shop-photo");
    GtkCssProvider* own = gtk_css_provider_new();
    const std::string css = std::string("box { background: ") + product.color + "; }";
    gtk_css_provider_load_from_data(own, css.c_str(), -1);
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_style_context_add_provider(gtk_widget_get_style_context(photo), GTK_STYLE_PROVIDER(own),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_object_unref(own);
    GtkWidget* name = gtk_label_new(product.name);
    gtk_widget_add_css_class(name, "shop-name");
    gtk_label_set_xalign(GTK_LABEL(name), 0);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    GtkWidget* price = gtk_label_new(product.price);
    gtk_widget_add_css_class(price, "shop-price");
    gtk_widget_set_hexpand(price, TRUE);
    gtk_label_set_xalign(GTK_LABEL(price), 0);
    gtk_box_append(GTK_BOX(row), price);
    gtk_box_append(GTK_BOX(row), gtk_button_new_with_label("Add to cart"));
    gtk_box_append(GTK_BOX(card), photo);
    gtk_box_append(GTK_BOX(card), name);
    gtk_box_append(GTK_BOX(card), row);
    return card;
}

GtkWidget* operatorPanel(const std::function<std::string(const std::string&)>& run) {
    auto* command = new std::function<std::string(const std::string&)>(run);
    GtkWidget* panel = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
    gtk_widget_add_css_class(panel, "operator");
    gtk_widget_set_size_request(panel, 220, -1);
    g_object_set_data_full(G_OBJECT(panel), "command", command, [](gpointer data) {
        delete static_cast<std::function<std::string(const std::string&)>*>(data);
    });
    GtkWidget* title = gtk_label_new("Operator (demo)");
    gtk_widget_add_css_class(title, "operator-title");
    gtk_label_set_xalign(GTK_LABEL(title), 0);
    GtkWidget* entry = gtk_entry_new();
    gtk_editable_set_text(GTK_EDITABLE(entry), "Hi! How can I help?");
    GtkWidget* log = gtk_label_new("");
    gtk_widget_add_css_class(log, "operator-log");
    gtk_label_set_wrap(GTK_LABEL(log), TRUE);
    gtk_label_set_xalign(GTK_LABEL(log), 0);
    gtk_box_append(GTK_BOX(panel), title);
    gtk_box_append(GTK_BOX(panel), entry);
    const std::array<std::pair<const char*, const char*>, 7> buttons{{
        {"Reply", "reply"},
        {"Typing…", "typing"},
        {"Chat popup", "chat-popup"},
        {"Popup card", "popup"},
        {"Send a file", "file report.pdf"},
        {"Booking card", "booking"},
        {"Meeting link", "meeting"},
    }};
    for (const auto& [label, verb] : buttons) {
        GtkWidget* button = gtk_button_new_with_label(label);
        g_object_set_data_full(G_OBJECT(button), "verb", g_strdup(verb), g_free);
        g_object_set_data(G_OBJECT(button), "entry", entry);
        g_object_set_data(G_OBJECT(button), "log", log);
        g_signal_connect(button, "clicked", G_CALLBACK(+[](GtkButton* b, gpointer data) {
                             auto* runCommand =
                                 static_cast<std::function<std::string(const std::string&)>*>(data);
                             std::string line =
                                 static_cast<const char*>(g_object_get_data(G_OBJECT(b), "verb"));
                             auto* text = GTK_EDITABLE(g_object_get_data(G_OBJECT(b), "entry"));
                             if (line == "reply" || line == "chat-popup" || line == "popup") {
                                 line += std::string(" ") + gtk_editable_get_text(text);
                             }
                             const std::string said = (*runCommand)(line);
                             gtk_label_set_text(GTK_LABEL(g_object_get_data(G_OBJECT(b), "log")),
                                                said.substr(0, 160).c_str());
                         }),
                         command);
        gtk_box_append(GTK_BOX(panel), button);
    }
    gtk_box_append(GTK_BOX(panel), log);
    return panel;
}

}  // namespace

ShopWindow buildShopWindow(const std::function<std::string(const std::string&)>& operatorCommand,
                           const std::function<void()>& openChat) {
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kStyle, -1);
    gtk_style_context_add_provider_for_display(gdk_display_get_default(),
                                               GTK_STYLE_PROVIDER(provider),
                                               GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);

    ShopWindow shop;
    shop.window = GTK_WINDOW(gtk_window_new());
    gtk_window_set_title(shop.window, "Northwind Goods");
    gtk_window_set_default_size(shop.window, 1000, 700);

    GtkWidget* page = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_widget_add_css_class(page, "shop");
    GtkWidget* header = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_add_css_class(header, "shop-header");
    GtkWidget* logo = gtk_label_new("Northwind Goods");
    gtk_widget_add_css_class(logo, "shop-logo");
    gtk_box_append(GTK_BOX(header), logo);
    for (const char* item : {"New in", "Men", "Women", "Accessories"}) {
        GtkWidget* nav = gtk_label_new(item);
        gtk_widget_add_css_class(nav, "shop-nav");
        gtk_box_append(GTK_BOX(header), nav);
    }
    GtkWidget* spacer = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_hexpand(spacer, TRUE);
    gtk_box_append(GTK_BOX(header), spacer);
    GtkWidget* contact = gtk_button_new_with_label("Contact us");
    gtk_widget_add_css_class(contact, "flat");
    auto* open = new std::function<void()>(openChat);
    g_signal_connect_data(
        contact, "clicked", G_CALLBACK(+[](GtkButton*, gpointer data) {
            (*static_cast<std::function<void()>*>(data))();
        }),
        open, [](gpointer data, GClosure*) { delete static_cast<std::function<void()>*>(data); },
        GConnectFlags{});
    gtk_box_append(GTK_BOX(header), contact);
    gtk_box_append(GTK_BOX(page), header);

    GtkWidget* content = gtk_box_new(GTK_ORIENTATION_VERTICAL, 18);
    gtk_widget_set_margin_start(content, 24);
    gtk_widget_set_margin_end(content, 24);
    gtk_widget_set_margin_top(content, 20);
    GtkWidget* hero = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_widget_add_css_class(hero, "shop-hero");
    GtkWidget* heroTitle = gtk_label_new("Summer collection is here");
    gtk_widget_add_css_class(heroTitle, "shop-hero-title");
    gtk_label_set_xalign(GTK_LABEL(heroTitle), 0);
    GtkWidget* heroText =
        gtk_label_new("Free delivery on orders over $50. Questions? Chat with us.");
    gtk_label_set_xalign(GTK_LABEL(heroText), 0);
    gtk_box_append(GTK_BOX(hero), heroTitle);
    gtk_box_append(GTK_BOX(hero), heroText);
    gtk_box_append(GTK_BOX(content), hero);
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_column_spacing(GTK_GRID(grid), 16);
    gtk_grid_set_row_spacing(GTK_GRID(grid), 16);
    gtk_grid_set_column_homogeneous(GTK_GRID(grid), TRUE);
    for (std::size_t i = 0; i < kProducts.size(); ++i) {
        gtk_grid_attach(GTK_GRID(grid), productCard(kProducts[i]), static_cast<int>(i % 3),
                        static_cast<int>(i / 3), 1, 1);
    }
    gtk_box_append(GTK_BOX(content), grid);
    GtkWidget* scroller = gtk_scrolled_window_new();
    gtk_scrolled_window_set_child(GTK_SCROLLED_WINDOW(scroller), content);
    gtk_widget_set_vexpand(scroller, TRUE);
    gtk_box_append(GTK_BOX(page), scroller);

    GtkWidget* overlay = gtk_overlay_new();
    gtk_overlay_set_child(GTK_OVERLAY(overlay), page);
    gtk_widget_set_hexpand(overlay, TRUE);
    shop.overlay = GTK_OVERLAY(overlay);

    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_box_append(GTK_BOX(row), overlay);
    if (operatorCommand) {
        gtk_box_append(GTK_BOX(row), operatorPanel(operatorCommand));
    }
    gtk_window_set_child(shop.window, row);
    return shop;
}

}  // namespace vesk::desktop
