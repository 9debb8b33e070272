-- Demonstration data for a small clinical chemistry laboratory.
-- Plain INSERT statements only, so the same file loads into SQLite, PostgreSQL and SQL Server.
-- No time stamps are set here. Patients are not inserted: placeholder patient 1 is created
-- by the program itself.
-- Concentrations use conventional units: mg/dL for substrates and lipids, U/L for enzymes,
-- mmol/L for electrolytes and mg/L for CRP.

-- Tests. range_low/range_high are the reportable (measuring) ranges.
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (1, 'GLU', 'Glucose', 'END', 2, 750);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (2, 'CREA', 'Creatinine', 'RATE', 0.2, 25);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (3, 'UREA', 'Urea', 'RATE', 5, 300);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (4, 'ALT', 'Alanine aminotransferase', 'RATE', 3, 500);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (5, 'AST', 'Aspartate aminotransferase', 'RATE', 3, 1000);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (6, 'CHOL', 'Cholesterol, total', 'END', 5, 750);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (7, 'TRIG', 'Triglycerides', 'END', 5, 1000);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (8, 'HDL', 'HDL cholesterol', 'END', 3, 150);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (9, 'NA', 'Sodium', 'END', 80, 180);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (10, 'K', 'Potassium', 'END', 1.5, 10);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (11, 'CL', 'Chloride', 'END', 60, 140);
INSERT INTO test_def (parameter_id, short, Long, method, range_low, range_high) VALUES (12, 'CRP', 'C-reactive protein', 'QMS', 0.3, 300);

-- Analyzer channels. Every instrument uses channel n for parameter n, testiddsx carries the short
-- test code, which is what the IND1 and DSX1 instruments send. LIMS is the name used on the LIMS side.
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (1, 'HIT911', 1, 'GLU');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (2, 'HIT911', 2, 'CREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (3, 'HIT911', 3, 'UREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (4, 'HIT911', 4, 'ALT');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (5, 'HIT911', 5, 'AST');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (6, 'HIT911', 6, 'CHOL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (7, 'HIT911', 7, 'TRIG');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (8, 'HIT911', 8, 'HDL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (9, 'HIT911', 9, 'NA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (10, 'HIT911', 10, 'K');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (11, 'HIT911', 11, 'CL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (12, 'HIT911', 12, 'CRP');

INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (1, 'HIT902', 1, 'GLU');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (2, 'HIT902', 2, 'CREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (3, 'HIT902', 3, 'UREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (4, 'HIT902', 4, 'ALT');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (5, 'HIT902', 5, 'AST');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (6, 'HIT902', 6, 'CHOL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (7, 'HIT902', 7, 'TRIG');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (8, 'HIT902', 8, 'HDL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (9, 'HIT902', 9, 'NA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (10, 'HIT902', 10, 'K');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (11, 'HIT902', 11, 'CL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (12, 'HIT902', 12, 'CRP');

INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (1, 'HIT912', 1, 'GLU');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (2, 'HIT912', 2, 'CREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (3, 'HIT912', 3, 'UREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (4, 'HIT912', 4, 'ALT');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (5, 'HIT912', 5, 'AST');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (6, 'HIT912', 6, 'CHOL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (7, 'HIT912', 7, 'TRIG');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (8, 'HIT912', 8, 'HDL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (9, 'HIT912', 9, 'NA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (10, 'HIT912', 10, 'K');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (11, 'HIT912', 11, 'CL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (12, 'HIT912', 12, 'CRP');

INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (1, 'AU400', 1, 'GLU');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (2, 'AU400', 2, 'CREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (3, 'AU400', 3, 'UREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (4, 'AU400', 4, 'ALT');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (5, 'AU400', 5, 'AST');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (6, 'AU400', 6, 'CHOL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (7, 'AU400', 7, 'TRIG');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (8, 'AU400', 8, 'HDL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (9, 'AU400', 9, 'NA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (10, 'AU400', 10, 'K');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (11, 'AU400', 11, 'CL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (12, 'AU400', 12, 'CRP');

INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (1, 'AU600', 1, 'GLU');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (2, 'AU600', 2, 'CREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (3, 'AU600', 3, 'UREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (4, 'AU600', 4, 'ALT');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (5, 'AU600', 5, 'AST');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (6, 'AU600', 6, 'CHOL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (7, 'AU600', 7, 'TRIG');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (8, 'AU600', 8, 'HDL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (9, 'AU600', 9, 'NA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (10, 'AU600', 10, 'K');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (11, 'AU600', 11, 'CL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (12, 'AU600', 12, 'CRP');

INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (1, 'AU680', 1, 'GLU');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (2, 'AU680', 2, 'CREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (3, 'AU680', 3, 'UREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (4, 'AU680', 4, 'ALT');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (5, 'AU680', 5, 'AST');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (6, 'AU680', 6, 'CHOL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (7, 'AU680', 7, 'TRIG');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (8, 'AU680', 8, 'HDL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (9, 'AU680', 9, 'NA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (10, 'AU680', 10, 'K');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (11, 'AU680', 11, 'CL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (12, 'AU680', 12, 'CRP');

INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (1, 'IND1', 1, 'GLU');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (2, 'IND1', 2, 'CREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (3, 'IND1', 3, 'UREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (4, 'IND1', 4, 'ALT');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (5, 'IND1', 5, 'AST');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (6, 'IND1', 6, 'CHOL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (7, 'IND1', 7, 'TRIG');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (8, 'IND1', 8, 'HDL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (9, 'IND1', 9, 'NA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (10, 'IND1', 10, 'K');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (11, 'IND1', 11, 'CL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (12, 'IND1', 12, 'CRP');

INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (1, 'DSX1', 1, 'GLU');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (2, 'DSX1', 2, 'CREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (3, 'DSX1', 3, 'UREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (4, 'DSX1', 4, 'ALT');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (5, 'DSX1', 5, 'AST');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (6, 'DSX1', 6, 'CHOL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (7, 'DSX1', 7, 'TRIG');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (8, 'DSX1', 8, 'HDL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (9, 'DSX1', 9, 'NA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (10, 'DSX1', 10, 'K');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (11, 'DSX1', 11, 'CL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (12, 'DSX1', 12, 'CRP');

INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (1, 'LIMS', 1, 'GLU');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (2, 'LIMS', 2, 'CREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (3, 'LIMS', 3, 'UREA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (4, 'LIMS', 4, 'ALT');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (5, 'LIMS', 5, 'AST');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (6, 'LIMS', 6, 'CHOL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (7, 'LIMS', 7, 'TRIG');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (8, 'LIMS', 8, 'HDL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (9, 'LIMS', 9, 'NA');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (10, 'LIMS', 10, 'K');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (11, 'LIMS', 11, 'CL');
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) VALUES (12, 'LIMS', 12, 'CRP');

-- Interpretation texts
INSERT INTO interpretation (id, value, value_arab) VALUES (1, 'low', 'منخفض');
INSERT INTO interpretation (id, value, value_arab) VALUES (2, 'normal', 'طبيعي');
INSERT INTO interpretation (id, value, value_arab) VALUES (3, 'high', 'مرتفع');
INSERT INTO interpretation (id, value, value_arab) VALUES (4, 'critical', 'حرج');

-- Reference intervals: low (1), normal (2) and high (3) for every test, from 0 up to 99999.
-- Neighbouring intervals are 0.01 apart, so no value belongs to two of them. Values outside
-- the normal interval are marked suspicious. nw_id 2 is a second reference set with somewhat
-- different limits for some tests. For ALT, AST and CRP the low interval only catches values
-- below the measuring range.
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (1, 0, 69.99, 1, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (1, 70, 110, 2, 0, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (1, 110.01, 99999, 3, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (2, 0, 0.69, 1, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (2, 0.7, 1.3, 2, 0, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (2, 1.31, 99999, 3, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (3, 0, 14.99, 1, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (3, 15, 45, 2, 0, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (3, 45.01, 99999, 3, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (4, 0, 4.99, 1, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (4, 5, 41, 2, 0, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (4, 41.01, 99999, 3, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (5, 0, 4.99, 1, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (5, 5, 40, 2, 0, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (5, 40.01, 99999, 3, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (6, 0, 119.99, 1, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (6, 120, 200, 2, 0, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (6, 200.01, 99999, 3, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (7, 0, 39.99, 1, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (7, 40, 150, 2, 0, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (7, 150.01, 99999, 3, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (8, 0, 39.99, 1, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (8, 40, 100, 2, 0, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (8, 100.01, 99999, 3, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (9, 0, 135.99, 1, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (9, 136, 145, 2, 0, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (9, 145.01, 99999, 3, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (10, 0, 3.49, 1, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (10, 3.5, 5.1, 2, 0, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (10, 5.11, 99999, 3, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (11, 0, 97.99, 1, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (11, 98, 107, 2, 0, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (11, 107.01, 99999, 3, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (12, 0, 0.29, 1, 1, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (12, 0.3, 5, 2, 0, 1);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (12, 5.01, 99999, 3, 1, 1);

INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (1, 0, 69.99, 1, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (1, 70, 100, 2, 0, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (1, 100.01, 99999, 3, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (2, 0, 0.49, 1, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (2, 0.5, 1.1, 2, 0, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (2, 1.11, 99999, 3, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (3, 0, 14.99, 1, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (3, 15, 40, 2, 0, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (3, 40.01, 99999, 3, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (4, 0, 4.99, 1, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (4, 5, 33, 2, 0, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (4, 33.01, 99999, 3, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (5, 0, 4.99, 1, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (5, 5, 32, 2, 0, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (5, 32.01, 99999, 3, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (6, 0, 119.99, 1, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (6, 120, 200, 2, 0, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (6, 200.01, 99999, 3, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (7, 0, 34.99, 1, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (7, 35, 135, 2, 0, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (7, 135.01, 99999, 3, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (8, 0, 49.99, 1, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (8, 50, 100, 2, 0, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (8, 100.01, 99999, 3, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (9, 0, 135.99, 1, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (9, 136, 145, 2, 0, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (9, 145.01, 99999, 3, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (10, 0, 3.49, 1, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (10, 3.5, 5.1, 2, 0, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (10, 5.11, 99999, 3, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (11, 0, 97.99, 1, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (11, 98, 107, 2, 0, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (11, 107.01, 99999, 3, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (12, 0, 0.29, 1, 1, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (12, 0.3, 5, 2, 0, 2);
INSERT INTO validation (parameter_id, v_from, v_to, interpretation, suspicious, nw_id) VALUES (12, 5.01, 99999, 3, 1, 2);

-- Quality control material and target ranges for parameters 1 to 6
INSERT INTO control_base (control_id, name) VALUES ('QC0001', 'CONTROL LOW');
INSERT INTO control_base (control_id, name) VALUES ('QC0002', 'CONTROL MED');
INSERT INTO control_base (control_id, name) VALUES ('QC0003', 'CONTROL HIGH');
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0001', 1, 80, 100);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0001', 2, 0.8, 1.2);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0001', 3, 25, 35);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0001', 4, 25, 40);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0001', 5, 30, 45);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0001', 6, 90, 120);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0002', 1, 160, 200);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0002', 2, 2.6, 3.4);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0002', 3, 75, 95);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0002', 4, 80, 110);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0002', 5, 95, 125);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0002', 6, 180, 220);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0003', 1, 290, 350);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0003', 2, 5.5, 7);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0003', 3, 130, 160);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0003', 4, 160, 210);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0003', 5, 190, 240);
INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC0003', 6, 250, 300);

-- Calibrator concentrations (unused standards are NULL)
INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2, c3, c4, c5, c6) VALUES ('HIT911', 1, 2, 0, 100, NULL, NULL, NULL, NULL);
INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2, c3, c4, c5, c6) VALUES ('HIT911', 2, 2, 0, 4, NULL, NULL, NULL, NULL);
INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2, c3, c4, c5, c6) VALUES ('HIT911', 3, 5, 0, 25, 50, 100, 200, NULL);
INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2, c3, c4, c5, c6) VALUES ('AU400', 1, 2, 0, 300, NULL, NULL, NULL, NULL);
INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2, c3, c4, c5, c6) VALUES ('AU400', 2, 5, 0, 1, 2.5, 5, 10, NULL);
INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2, c3, c4, c5, c6) VALUES ('AU400', 3, 2, 0, 80, NULL, NULL, NULL, NULL);
INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2, c3, c4, c5, c6) VALUES ('AU600', 3, 2, 0, 80, NULL, NULL, NULL, NULL);
INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2, c3, c4, c5, c6) VALUES ('AU680', 2, 2, 0, 1, NULL, NULL, NULL, NULL);

-- Operators
INSERT INTO user_base (userid, comment) VALUES ('TECH1', 'Technician, day shift');
INSERT INTO user_base (userid, comment) VALUES ('TECH2', 'Technician, night shift');
INSERT INTO user_base (userid, comment) VALUES ('SUPER', 'Laboratory supervisor');

-- Senders
INSERT INTO customer (cust_id, cust_name) VALUES ('999', 'Laboratory own');
INSERT INTO customer (cust_id, cust_name) VALUES ('101', 'Internal Medicine Clinic');
INSERT INTO customer (cust_id, cust_name) VALUES ('102', 'Paediatric Clinic');

-- Connected instruments
INSERT INTO analyzers (analyzer_id, com_port) VALUES ('HIT911', 1);
INSERT INTO analyzers (analyzer_id, com_port) VALUES ('HIT902', 2);
INSERT INTO analyzers (analyzer_id, com_port) VALUES ('HIT912', 3);
INSERT INTO analyzers (analyzer_id, com_port) VALUES ('AU400', 4);
INSERT INTO analyzers (analyzer_id, com_port) VALUES ('AU600', 5);
INSERT INTO analyzers (analyzer_id, com_port) VALUES ('AU680', 6);
INSERT INTO analyzers (analyzer_id, com_port) VALUES ('IND1', 7);
INSERT INTO analyzers (analyzer_id, com_port) VALUES ('DSX1', 8);

-- User interface texts. Key 7 has no German text (NULL) and key 8 an empty one, both fall back to
-- the English text.
INSERT INTO textstrings ("key", english, german) VALUES (1, 'Sample ID', 'Proben-ID');
INSERT INTO textstrings ("key", english, german) VALUES (2, 'Result', 'Ergebnis');
INSERT INTO textstrings ("key", english, german) VALUES (3, 'Save', 'Speichern');
INSERT INTO textstrings ("key", english, german) VALUES (4, 'Cancel', 'Abbrechen');
INSERT INTO textstrings ("key", english, german) VALUES (5, 'Parameter', 'Parameter');
INSERT INTO textstrings ("key", english, german) VALUES (6, 'User', 'Benutzer');
INSERT INTO textstrings ("key", english, german) VALUES (7, 'Delete', NULL);
INSERT INTO textstrings ("key", english, german) VALUES (8, 'History', '');
-- Captions of the manual input window (frmPushInput)
INSERT INTO textstrings ("key", english, german) VALUES (6601, 'User', 'Benutzer');
INSERT INTO textstrings ("key", english, german) VALUES (6602, 'Please select your user name', 'Bitte Benutzer waehlen');
INSERT INTO textstrings ("key", english, german) VALUES (6603, 'Sample ID', 'Proben-ID');
INSERT INTO textstrings ("key", english, german) VALUES (6604, 'Result', 'Ergebnis');
INSERT INTO textstrings ("key", english, german) VALUES (6605, 'Samples this session', 'Proben dieser Sitzung');
INSERT INTO textstrings ("key", english, german) VALUES (6606, 'Clear Session', 'Sitzung loeschen');
INSERT INTO textstrings ("key", english, german) VALUES (6607, 'Log Out / Close', 'Abmelden / Beenden');

-- Open orders (no result, analyzer or time stamp yet)
INSERT INTO request (sample_id, parameter_id) VALUES ('10385236', 1);
INSERT INTO request (sample_id, parameter_id) VALUES ('10385236', 2);
INSERT INTO request (sample_id, parameter_id) VALUES ('10385236', 5);
INSERT INTO request (sample_id, parameter_id) VALUES ('10385237', 1);
INSERT INTO request (sample_id, parameter_id) VALUES ('10385237', 6);
INSERT INTO request (sample_id, parameter_id) VALUES ('10385237', 7);
INSERT INTO request (sample_id, parameter_id) VALUES ('10385238', 3);
INSERT INTO request (sample_id, parameter_id) VALUES ('10385238', 4);
