-- The Tiny catalog: a few dozen sales whose every total can be checked by hand.
-- Empty on purpose: 1998 after March, the Canadian store, the product "Shine
-- Cleaner", the media "TV". One product name holds a quote, an apostrophe and
-- a "]".

CREATE TABLE time_by_day (time_id INTEGER PRIMARY KEY, the_year INTEGER, quarter VARCHAR, month_of_year INTEGER);
INSERT INTO time_by_day
SELECT month + (year - 1997) * 12, year, 'Q' || ((month + 2) // 3), month
FROM range(1997, 1999) AS years(year), range(1, 13) AS months(month);

CREATE TABLE store (store_id INTEGER PRIMARY KEY, store_country VARCHAR, store_state VARCHAR,
                    store_city VARCHAR, store_name VARCHAR);
INSERT INTO store VALUES
  (1, 'USA', 'CA', 'Los Angeles', 'Store 1'),
  (2, 'USA', 'CA', 'San Francisco', 'Store 2'),
  (3, 'USA', 'OR', 'Portland', 'Store 3'),
  (4, 'USA', 'WA', 'Seattle', 'Store 4'),
  (5, 'Canada', 'BC', 'Vancouver', 'Store 5');

CREATE TABLE product_class (product_class_id INTEGER PRIMARY KEY, product_family VARCHAR,
                            product_department VARCHAR, product_category VARCHAR);
INSERT INTO product_class VALUES
  (1, 'Drink', 'Beverages', 'Soda'),
  (2, 'Drink', 'Alcoholic Beverages', 'Beer'),
  (3, 'Food', 'Produce', 'Vegetables'),
  (4, 'Food', 'Snack Foods', 'Chips'),
  (5, 'Non-Consumable', 'Household', 'Cleaners');

CREATE TABLE product (product_id INTEGER PRIMARY KEY, product_class_id INTEGER, brand_name VARCHAR,
                      product_name VARCHAR);
INSERT INTO product VALUES
  (1, 1, 'Fizz', 'Fizz Cola'),
  (2, 1, 'Bob''s', 'Bob''s "Best" [Big] Cola'),
  (3, 2, 'Good', 'Good Lager'),
  (4, 3, 'Green', 'Green Beans'),
  (5, 4, 'Crunch', 'Crunch Chips'),
  (6, 5, 'Shine', 'Shine Cleaner');

CREATE TABLE customer (customer_id INTEGER PRIMARY KEY, country VARCHAR, state_province VARCHAR, city VARCHAR,
                       fullname VARCHAR, gender VARCHAR, marital_status VARCHAR);
INSERT INTO customer VALUES
  (1, 'USA', 'CA', 'Los Angeles', 'Ann Lee', 'F', 'M'),
  (2, 'USA', 'CA', 'San Francisco', 'Bob Ray', 'M', 'S'),
  (3, 'USA', 'OR', 'Portland', 'Cid Fox', 'M', 'M'),
  (4, 'USA', 'WA', 'Seattle', 'Dee Kim', 'F', 'S'),
  (5, 'Canada', 'BC', 'Vancouver', 'Eve Poe', 'F', 'M');

CREATE TABLE promotion (promotion_id INTEGER PRIMARY KEY, media_type VARCHAR);
INSERT INTO promotion VALUES (1, 'No Media'), (2, 'Daily Paper'), (3, 'Radio'), (4, 'TV');

CREATE TABLE sales_fact (time_id INTEGER, store_id INTEGER, product_id INTEGER, customer_id INTEGER,
                         promotion_id INTEGER, unit_sales INTEGER, store_sales DECIMAL(10, 2),
                         store_cost DECIMAL(10, 2));
INSERT INTO sales_fact VALUES
  -- 1997 Q1: 21 units
  (1, 1, 1, 1, 1, 5, 10.00, 4.00),
  (1, 1, 3, 2, 2, 3, 9.00, 4.50),
  (2, 2, 2, 2, 1, 4, 8.00, 3.00),
  (2, 3, 4, 3, 3, 2, 3.00, 1.00),
  (3, 4, 5, 4, 1, 6, 12.00, 5.00),
  (3, 1, 1, 5, 2, 1, 2.00, 0.80),
  -- 1997 Q2: 22 units
  (4, 1, 2, 1, 1, 2, 4.00, 1.50),
  (4, 2, 3, 3, 1, 7, 21.00, 10.00),
  (5, 3, 1, 4, 3, 3, 6.00, 2.50),
  (6, 4, 4, 1, 2, 8, 12.00, 4.00),
  (6, 4, 5, 2, 1, 2, 4.00, 1.00),
  -- 1997 Q3: 17 units
  (7, 1, 5, 3, 1, 4, 8.00, 3.50),
  (8, 2, 1, 4, 2, 6, 12.00, 5.00),
  (8, 3, 2, 5, 1, 2, 4.00, 2.00),
  (9, 1, 4, 1, 3, 5, 7.50, 2.50),
  -- 1997 Q4: 18 units
  (10, 2, 3, 2, 1, 3, 9.00, 4.00),
  (11, 4, 1, 3, 2, 9, 18.00, 7.00),
  (12, 1, 5, 4, 1, 2, 4.00, 1.00),
  (12, 3, 3, 1, 1, 4, 12.00, 6.00),
  -- 1998 Q1: 17 units
  (13, 1, 1, 2, 1, 6, 12.00, 5.00),
  (13, 4, 2, 3, 2, 3, 6.00, 2.00),
  (14, 2, 4, 1, 1, 5, 7.50, 3.00),
  (15, 3, 5, 5, 3, 2, 4.00, 1.50),
  (15, 1, 1, 1, 1, 1, 2.00, 1.00);

-- An aggregate table of the fact rows by year and store, read where a cell
-- needs no finer time and only these measures; its figures must match.
CREATE TABLE agg_year_store_sales AS
  SELECT t.the_year AS the_year, f.store_id AS store_id, CAST(COUNT(*) AS INTEGER) AS fact_count,
         CAST(SUM(f.unit_sales) AS INTEGER) AS unit_sales, CAST(SUM(f.store_sales) AS DECIMAL(10, 2)) AS store_sales,
         CAST(SUM(f.store_cost) AS DECIMAL(10, 2)) AS store_cost, CAST(COUNT(f.product_id) AS INTEGER) AS sales_count
  FROM sales_fact f JOIN time_by_day t ON f.time_id = t.time_id
  GROUP BY t.the_year, f.store_id;
