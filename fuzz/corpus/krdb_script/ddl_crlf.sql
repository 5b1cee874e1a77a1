CREATE TABLE 旧単価 (Code TEXT(20), 単価 CURRENCY, 日付 DATETIME);
ALTER TABLE 旧単価 ADD COLUMN 備考 MEMO;
CREATE UNIQUE INDEX PrimaryKey ON 旧単価 (Code);
INSERT INTO 旧単価 SELECT Code, Price2, Changed, Null FROM Cri;
SELECT * INTO 退避 FROM 旧単価 WHERE 単価 > 100;
DROP INDEX PrimaryKey ON 旧単価;
DROP TABLE 旧単価;
