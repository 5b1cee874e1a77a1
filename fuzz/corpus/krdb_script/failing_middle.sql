INSERT INTO 地区名 (ID, 地区名) VALUES (3, '人吉');
INSERT INTO 地区名 (ID, 地区名) VALUES (3, '重複');
SELECT * FROM 地区名;
