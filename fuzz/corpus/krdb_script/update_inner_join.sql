UPDATE Cri INNER JOIN 地区名 ON Cri.Price1 = 地区名.ID
SET Cri.Name = 地区名.地区名 & ' ' & Format(Now(), 'yyyy/mm/dd')
WHERE 地区名.コメント IS NOT NULL;
DELETE Cri.* FROM Cri WHERE Code IN (SELECT Code FROM Cri WHERE Price1 IS NULL);
INSERT INTO Version (Ver, Comment) SELECT '2020,1,1', Comment FROM Version;
UPDATE Version SET Ver = '2020,1,1' WHERE Ver = '2019,1,2';
