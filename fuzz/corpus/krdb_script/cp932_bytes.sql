SELECT 'É\ï\\' FROM Cri;
SELECT 'Å' & Chr(0) FROM Cri;
