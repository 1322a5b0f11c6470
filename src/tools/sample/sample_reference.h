#pragma once
#include <string>

// The fixed reference data of the sample catalog, as SQL that creates its
// tables: stores, the product taxonomy and products, where customers live,
// customers' names and the promotion media. Nothing here is random.
namespace orvex::tools::sample {

// CREATE TABLE store (store_id, store_country, store_state, store_city,
// store_name, store_type, store_sqft, first_year, weight). A store sells from
// first_year on; weight 0 never sells.
std::string StoreSql();
// CREATE TABLE product_class (...) and product (product_id, product_class_id,
// brand_name, product_name, srp): about 1,500 products.
std::string ProductSql();
// CREATE TABLE customer_city (country, state_province, city, weight) and
// first_name (position, name, gender), last_name (position, name).
std::string CustomerReferenceSql();
// CREATE TABLE promotion (promotion_id, media_type, promotion_name, weight, first_year).
std::string PromotionSql();

}  // namespace orvex::tools::sample
