#include "tools/sample/sample_reference.h"

#include <string>
#include <vector>

namespace orvex::tools::sample {
namespace {

// A text as a SQL literal; the reference data holds no quotes but stays safe if it ever does.
std::string Text(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  return quoted + "'";
}

// Joins rows of literals into "(a, b), (c, d)".
std::string Values(const std::vector<std::vector<std::string>>& rows) {
  std::string sql;
  for (const auto& row : rows) {
    sql += sql.empty() ? "(" : ",\n  (";
    for (size_t column = 0; column < row.size(); ++column) sql += (column ? ", " : "") + row[column];
    sql += ")";
  }
  return sql;
}

struct Store {
  const char* country;
  const char* state;
  const char* city;
  const char* type;
  int sqft;
  int first_year;
};

// Store n is "Store n"; the Mexican and Canadian stores open in 1998, and
// store 21 never sells anything.
const Store kStores[] = {
    {"Mexico", "Guerrero", "Acapulco", "Supermarket", 23593, 1998},
    {"USA", "WA", "Bellingham", "Small Grocery", 28206, 1997},
    {"USA", "WA", "Bremerton", "Supermarket", 39696, 1997},
    {"Mexico", "Zacatecas", "Camacho", "Mid-Size Grocery", 23759, 1998},
    {"Mexico", "Jalisco", "Guadalajara", "Small Grocery", 24597, 1998},
    {"USA", "CA", "Beverly Hills", "Gourmet Supermarket", 23688, 1997},
    {"USA", "CA", "Los Angeles", "Supermarket", 23598, 1997},
    {"Mexico", "Yucatan", "Merida", "Deluxe Supermarket", 30797, 1998},
    {"Mexico", "DF", "Mexico City", "Mid-Size Grocery", 36509, 1998},
    {"Mexico", "Veracruz", "Orizaba", "Supermarket", 34791, 1998},
    {"USA", "OR", "Portland", "Supermarket", 20319, 1997},
    {"Mexico", "Zacatecas", "Hidalgo", "Deluxe Supermarket", 30584, 1998},
    {"USA", "OR", "Salem", "Deluxe Supermarket", 27694, 1997},
    {"USA", "CA", "San Francisco", "Small Grocery", 22478, 1997},
    {"USA", "WA", "Seattle", "Supermarket", 21215, 1997},
    {"USA", "WA", "Spokane", "Supermarket", 30268, 1997},
    {"USA", "WA", "Tacoma", "Deluxe Supermarket", 33858, 1997},
    {"Mexico", "Zacatecas", "Hidalgo", "Mid-Size Grocery", 38382, 1998},
    {"Canada", "BC", "Vancouver", "Deluxe Supermarket", 23112, 1998},
    {"Canada", "BC", "Victoria", "Mid-Size Grocery", 34452, 1998},
    {"Mexico", "DF", "San Andres", "Deluxe Supermarket", 0, 0},
    {"USA", "WA", "Walla Walla", "Small Grocery", 23618, 1997},
    {"USA", "WA", "Yakima", "Mid-Size Grocery", 25011, 1997},
    {"USA", "CA", "San Diego", "Supermarket", 30584, 1997},
};

struct Category {
  const char* family;
  const char* department;
  const char* category;
  std::vector<const char*> nouns;
};

// "Dairy" is a department of two families and "Vegetables" a category of
// three departments: names repeat under different parents, as in real catalogs.
const std::vector<Category> kCategories = {
    {"Drink", "Alcoholic Beverages", "Beer and Wine", {"Beer", "Wine", "Light Beer"}},
    {"Drink", "Beverages", "Carbonated Beverages", {"Soda", "Diet Soda"}},
    {"Drink", "Beverages", "Drinks", {"Flavored Drink", "Iced Tea"}},
    {"Drink", "Beverages", "Hot Beverages", {"Coffee", "Tea"}},
    {"Drink", "Beverages", "Pure Juice Beverages", {"Apple Juice", "Orange Juice"}},
    {"Drink", "Dairy", "Dairy", {"Milk", "Chocolate Milk"}},
    {"Food", "Baked Goods", "Bread", {"Bagels", "Muffins", "Sliced Bread"}},
    {"Food", "Baking Goods", "Baking Goods", {"Flour", "Sugar", "Cinnamon"}},
    {"Food", "Baking Goods", "Jams and Jellies", {"Grape Jelly", "Strawberry Jam", "Peanut Butter"}},
    {"Food", "Breakfast Foods", "Breakfast Foods", {"Corn Flakes", "Oatmeal", "Pancake Mix"}},
    {"Food", "Canned Foods", "Canned Soup", {"Chicken Soup", "Tomato Soup"}},
    {"Food", "Canned Foods", "Canned Tuna", {"Tuna in Oil", "Tuna in Water"}},
    {"Food", "Canned Foods", "Vegetables", {"Canned Peas", "Canned Corn"}},
    {"Food", "Dairy", "Dairy", {"Cheddar Cheese", "Yogurt", "Butter"}},
    {"Food", "Deli", "Meat", {"Sliced Ham", "Sliced Turkey"}},
    {"Food", "Deli", "Side Dishes", {"Coleslaw", "Potato Salad"}},
    {"Food", "Eggs", "Eggs", {"Eggs", "Egg Substitute"}},
    {"Food", "Frozen Foods", "Frozen Desserts", {"Ice Cream", "Popsicles"}},
    {"Food", "Frozen Foods", "Frozen Entrees", {"Frozen Pizza", "TV Dinner"}},
    {"Food", "Frozen Foods", "Vegetables", {"Frozen Peas", "Frozen Broccoli"}},
    {"Food", "Meat", "Hot Dogs", {"Hot Dogs", "Beef Franks"}},
    {"Food", "Produce", "Fruit", {"Apples", "Bananas", "Oranges"}},
    {"Food", "Produce", "Vegetables", {"Lettuce", "Tomatoes", "Potatoes"}},
    {"Food", "Seafood", "Seafood", {"Shrimp", "Salmon"}},
    {"Food", "Snack Foods", "Snack Foods", {"Potato Chips", "Pretzels", "Popcorn"}},
    {"Food", "Snacks", "Candy", {"Chocolate Bar", "Gum", "Mints"}},
    {"Food", "Starchy Foods", "Starchy Foods", {"Rice", "Spaghetti", "Noodles"}},
    {"Non-Consumable", "Carousel", "Specialty", {"Sunglasses", "Key Chain"}},
    {"Non-Consumable", "Checkout", "Hardware", {"Batteries", "Flashlight"}},
    {"Non-Consumable", "Health and Hygiene", "Bathroom Products", {"Toothpaste", "Shampoo", "Soap"}},
    {"Non-Consumable", "Health and Hygiene", "Pain Relievers", {"Aspirin", "Ibuprofen"}},
    {"Non-Consumable", "Household", "Cleaning Supplies", {"Detergent", "Glass Cleaner"}},
    {"Non-Consumable", "Household", "Kitchen Products", {"Sponges", "Foil"}},
    {"Non-Consumable", "Household", "Paper Products", {"Paper Towels", "Tissues"}},
    {"Non-Consumable", "Periodicals", "Magazines", {"Home Magazine", "Sports Magazine"}},
};

const std::vector<const char*> kBrands = {
    "Acme",      "Alder",     "Amber",     "Apex",      "Arbor",     "Aster",     "Atlas",     "Aurora",
    "Beacon",    "Birch",     "Bluebird",  "Bolt",      "Brook",     "Canyon",    "Cardinal",  "Cedar",
    "Clover",    "Cobalt",    "Comet",     "Coral",     "Crest",     "Crown",     "Cypress",   "Delta",
    "Dune",      "Eagle",     "Echo",      "Elm",       "Ember",     "Falcon",    "Fern",      "Fjord",
    "Flint",     "Garnet",    "Glacier",   "Golden",    "Granite",   "Harbor",    "Hawk",      "Hazel",
    "Heron",     "Horizon",   "Indigo",    "Iris",      "Ivy",       "Jade",      "Juniper",   "Kestrel",
    "Lark",      "Laurel",    "Lotus",     "Lynx",      "Maple",     "Meadow",    "Mesa",      "Monarch",
    "Nimbus",    "Nova",      "Oak",       "Onyx",      "Orchid",    "Osprey",    "Pebble",    "Pine",
    "Pioneer",   "Prairie",   "Quartz",    "Quill",     "Raven",     "Redwood",   "Ridge",     "River",
    "Robin",     "Sage",      "Sequoia",   "Sierra",    "Sparrow",   "Spruce",    "Summit",    "Sunrise",
    "Tern",      "Thistle",   "Timber",    "Topaz",     "Tundra",    "Valley",    "Vista",     "Willow",
    "Wren",      "Zephyr",
};

const char* const kVariants[] = {"", "Lite ", "Extra ", "Large ", "Small ", "Organic ", "Low Fat ", "Family Size "};

struct City {
  const char* country;
  const char* state;
  const char* city;
  int weight;
};

const City kCities[] = {
    {"USA", "CA", "Los Angeles", 40},   {"USA", "CA", "San Diego", 30},     {"USA", "CA", "San Francisco", 30},
    {"USA", "CA", "Beverly Hills", 15}, {"USA", "CA", "Santa Monica", 15},  {"USA", "CA", "Burbank", 12},
    {"USA", "OR", "Portland", 35},      {"USA", "OR", "Salem", 25},         {"USA", "OR", "Eugene", 12},
    {"USA", "OR", "Corvallis", 8},      {"USA", "WA", "Seattle", 40},       {"USA", "WA", "Spokane", 25},
    {"USA", "WA", "Tacoma", 25},        {"USA", "WA", "Bellingham", 12},    {"USA", "WA", "Yakima", 12},
    {"USA", "WA", "Bremerton", 12},     {"USA", "WA", "Walla Walla", 8},    {"Canada", "BC", "Vancouver", 25},
    {"Canada", "BC", "Victoria", 15},   {"Canada", "BC", "Burnaby", 10},    {"Canada", "BC", "Richmond", 8},
    {"Mexico", "DF", "Mexico City", 30}, {"Mexico", "DF", "San Andres", 8}, {"Mexico", "Guerrero", "Acapulco", 12},
    {"Mexico", "Jalisco", "Guadalajara", 18}, {"Mexico", "Veracruz", "Orizaba", 10},
    {"Mexico", "Yucatan", "Merida", 12}, {"Mexico", "Zacatecas", "Camacho", 8}, {"Mexico", "Zacatecas", "Hidalgo", 12},
};

const char* const kFemaleNames[] = {"Ann",   "Beth",  "Carla", "Dana",  "Edith", "Fay",   "Gina",  "Hilda",
                                    "Ines",  "Joan",  "Kim",   "Lena",  "Maria", "Nora",  "Olga",  "Paula",
                                    "Rita",  "Sara",  "Tina",  "Vera",  "Wendy", "Yara",  "Zoe",   "Alma",
                                    "Bonnie", "Clara", "Doris", "Elena", "Flora", "Greta"};
const char* const kMaleNames[] = {"Adam",  "Ben",   "Carl",  "Dan",   "Eric",  "Frank", "Gus",   "Hank",
                                  "Ivan",  "Jack",  "Karl",  "Leo",   "Mark",  "Ned",   "Omar",  "Paul",
                                  "Ray",   "Sam",   "Ted",   "Victor", "Walt", "Xavier", "Yusuf", "Zack",
                                  "Abel",  "Bruno", "Cyril", "Dean",  "Emil",  "Felix"};
const char* const kLastNames[] = {
    "Abbott", "Barnes",  "Carter",  "Dalton", "Ellis",   "Fisher",  "Garcia",  "Hughes", "Ingram",  "Jensen",
    "Keller", "Lopez",   "Morgan",  "Nolan",  "Owens",   "Porter",  "Quinn",   "Reyes",  "Sanders", "Turner",
    "Vargas", "Walsh",   "Young",   "Zamora", "Archer",  "Blake",   "Cortez",  "Dunn",   "Estrada", "Ford",
    "Grant",  "Hayes",   "Irwin",   "Jordan", "Knight",  "Lambert", "Medina",  "Nash",   "Ortiz",   "Pierce",
    "Ramos",  "Shaw",    "Tate",    "Vaughn", "Webb",    "Banks",   "Chavez",  "Doyle",  "Flores",  "Gibbs",
    "Holt",   "Jacobs",  "Kramer",  "Lowe",   "Mendez",  "Norris",  "Parks",   "Rivera", "Stone",   "Todd",
    "Vance",  "Wade",    "Bishop",  "Castro", "Delgado", "Fowler",  "Gomez",   "Harper", "Keith",   "Lyons",
    "Marsh",  "Nunez",   "Payne",   "Romero", "Santos",  "Tucker",  "Valdez",  "Weaver", "Benson",  "Cruz"};

struct Media {
  const char* name;
  int weight;
  int first_year;
};

const Media kMedia[] = {
    {"No Media", 600, 1997},          {"Daily Paper", 60, 1997},          {"Radio", 40, 1997},
    {"TV", 30, 1998},                 {"Sunday Paper", 45, 1997},         {"Street Handout", 25, 1997},
    {"Bulk Mail", 20, 1997},          {"In-Store Coupon", 35, 1997},      {"Product Attachment", 30, 1997},
    {"Cash Register Handout", 25, 1997}, {"Daily Paper, Radio", 25, 1997}, {"Daily Paper, Radio, TV", 20, 1998},
    {"Sunday Paper, Radio", 20, 1997}, {"Sunday Paper, Radio, TV", 15, 1998},
};

}  // namespace

std::string StoreSql() {
  std::vector<std::vector<std::string>> rows;
  int id = 0;
  for (const auto& store : kStores) {
    ++id;
    rows.push_back({std::to_string(id), Text(store.country), Text(store.state), Text(store.city),
                    Text("Store " + std::to_string(id)), Text(store.type), std::to_string(store.sqft),
                    std::to_string(store.first_year), std::to_string(store.first_year ? store.sqft : 0)});
  }
  return "CREATE TABLE store (store_id INTEGER PRIMARY KEY, store_country VARCHAR, store_state VARCHAR, "
         "store_city VARCHAR, store_name VARCHAR, store_type VARCHAR, store_sqft INTEGER, first_year INTEGER, "
         "weight DOUBLE);\nINSERT INTO store VALUES\n  " +
         Values(rows) + ";\n";
}

std::string ProductSql() {
  std::vector<std::vector<std::string>> classes;
  std::vector<std::vector<std::string>> products;
  int product_id = 0;
  for (size_t index = 0; index < kCategories.size(); ++index) {
    const Category& category = kCategories[index];
    int class_id = static_cast<int>(index) + 1;
    classes.push_back({std::to_string(class_id), Text(category.family), Text(category.department),
                       Text(category.category)});
    for (size_t brand_index = 0; brand_index < 5; ++brand_index) {
      // Brands step through the list so that many appear in several categories.
      const char* brand = kBrands[(index * 7 + brand_index * 13) % kBrands.size()];
      for (size_t noun_index = 0; noun_index < category.nouns.size(); ++noun_index) {
        size_t variants = 2 + (index + brand_index * 3 + noun_index) % 4;
        for (size_t variant = 0; variant < variants; ++variant) {
          ++product_id;
          // A shelf price between 0.49 and 5.48, the same for the same product every time.
          int cents = 49 + (product_id * 7919) % 500;
          products.push_back({std::to_string(product_id), std::to_string(class_id), Text(brand),
                              Text(std::string(brand) + " " + kVariants[variant] + category.nouns[noun_index]),
                              std::to_string(cents / 100) + "." + (cents % 100 < 10 ? "0" : "") +
                                  std::to_string(cents % 100)});
        }
      }
    }
  }
  return "CREATE TABLE product_class (product_class_id INTEGER PRIMARY KEY, product_family VARCHAR, "
         "product_department VARCHAR, product_category VARCHAR);\nINSERT INTO product_class VALUES\n  " +
         Values(classes) +
         ";\nCREATE TABLE product (product_id INTEGER PRIMARY KEY, product_class_id INTEGER, brand_name VARCHAR, "
         "product_name VARCHAR, srp DECIMAL(10, 2));\nINSERT INTO product VALUES\n  " +
         Values(products) + ";\n";
}

std::string CustomerReferenceSql() {
  std::vector<std::vector<std::string>> cities;
  for (const auto& city : kCities) {
    cities.push_back({Text(city.country), Text(city.state), Text(city.city), std::to_string(city.weight)});
  }
  std::vector<std::vector<std::string>> firsts;
  int position = 0;
  for (size_t index = 0; index < std::size(kFemaleNames); ++index) {
    firsts.push_back({std::to_string(position++), Text(kFemaleNames[index]), "'F'"});
    firsts.push_back({std::to_string(position++), Text(kMaleNames[index]), "'M'"});
  }
  std::vector<std::vector<std::string>> lasts;
  position = 0;
  for (const char* name : kLastNames) lasts.push_back({std::to_string(position++), Text(name)});
  return "CREATE TEMP TABLE customer_city (country VARCHAR, state_province VARCHAR, city VARCHAR, weight DOUBLE);\n"
         "INSERT INTO customer_city VALUES\n  " +
         Values(cities) +
         ";\nCREATE TEMP TABLE first_name (position INTEGER, name VARCHAR, gender VARCHAR);\n"
         "INSERT INTO first_name VALUES\n  " +
         Values(firsts) +
         ";\nCREATE TEMP TABLE last_name (position INTEGER, name VARCHAR);\nINSERT INTO last_name VALUES\n  " +
         Values(lasts) + ";\n";
}

std::string PromotionSql() {
  std::vector<std::vector<std::string>> rows;
  int id = 0;
  for (const auto& media : kMedia) {
    ++id;
    rows.push_back({std::to_string(id), Text(media.name), Text(media.name), std::to_string(media.weight),
                    std::to_string(media.first_year)});
  }
  return "CREATE TABLE promotion (promotion_id INTEGER PRIMARY KEY, media_type VARCHAR, promotion_name VARCHAR, "
         "weight DOUBLE, first_year INTEGER);\nINSERT INTO promotion VALUES\n  " +
         Values(rows) + ";\n";
}

}  // namespace orvex::tools::sample
