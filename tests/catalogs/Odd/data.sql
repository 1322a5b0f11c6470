-- The Odd catalog: captions that would be markup or script if a page wrote
-- them as they are. Sums: Left < 12, Right > 24; first group 25, second 11.
CREATE TABLE items (item_id INTEGER, grp VARCHAR, name VARCHAR);
INSERT INTO items VALUES
  (1, '"><script>window.injected=2</script>', 'it''s <b>bold</b>'),
  (2, '"><script>window.injected=2</script>', '</script><script>window.injected=3</script>'),
  (3, 'Plain & "quoted"', 'back\slash '' " \'' end');
CREATE TABLE sides (side_id INTEGER, side VARCHAR);
INSERT INTO sides VALUES (1, 'Left <'), (2, 'Right >');
CREATE TABLE facts (item_id INTEGER, side_id INTEGER, amount INTEGER);
INSERT INTO facts VALUES (1, 1, 5), (2, 1, 7), (3, 2, 11), (1, 2, 13);
