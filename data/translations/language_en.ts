<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>formule</name>
    <message>
        <source>Prezzo lordo</source>
        <translation>Gross price</translation>
    </message>
    <message>
        <source>Sconto 1%</source>
        <translation>Discount 1%</translation>
    </message>
    <message>
        <source>Sconto 2%</source>
        <translation>Discount 2%</translation>
    </message>
    <message>
        <source>Sconto 3%</source>
        <translation>Discount 3%</translation>
    </message>
    <message>
        <source>Sconto 4%</source>
        <translation>Discount 4%</translation>
    </message>
    <message>
        <source>Sconto 5%</source>
        <translation>Discount 5%</translation>
    </message>
    <message>
        <source>Sconto 6%</source>
        <translation>Discount 6%</translation>
    </message>
    <message>
        <source>Sconto importo</source>
        <translation>Discount amount</translation>
    </message>
    <message>
        <source>Maggiorazione 1%</source>
        <translation>Surcharge 1%</translation>
    </message>
    <message>
        <source>Maggiorazione 2%</source>
        <translation>Surcharge 2%</translation>
    </message>
    <message>
        <source>Maggiorazione importo</source>
        <translation>Surcharge amount</translation>
    </message>
    <message>
        <source>Ditta</source>
        <translation>Company</translation>
    </message>
    <message>
        <source>Sede</source>
        <translation>Branch</translation>
    </message>
    <message>
        <source>Divisione (di riga)</source>
        <translation>Division (row)</translation>
    </message>
    <message>
        <source>Tipo documento</source>
        <translation>Document type</translation>
    </message>
    <message>
        <source>Sottotipo documento</source>
        <translation>Document subtype</translation>
    </message>
    <message>
        <source>Codice documento</source>
        <translation>Document code</translation>
    </message>
    <message>
        <source>Sezionale</source>
        <translation>Document series</translation>
    </message>
    <message>
        <source>Data riferimento</source>
        <translation>Reference date</translation>
    </message>
    <message>
        <source>Deposito (di riga)</source>
        <translation>Warehouse (row)</translation>
    </message>
    <message>
        <source>Condizione di pagamento</source>
        <translation>Payment terms</translation>
    </message>
    <message>
        <source>Tipo spedizione</source>
        <translation>Shipping method</translation>
    </message>
    <message>
        <source>Porto</source>
        <translation>Freight terms</translation>
    </message>
    <message>
        <source>Imballo</source>
        <translation>Packing</translation>
    </message>
    <message>
        <source>Aspetto dei beni</source>
        <translation>Appearance of goods</translation>
    </message>
    <message>
        <source>Causale del trasporto</source>
        <translation>Reason for transport</translation>
    </message>
    <message>
        <source>Vettore 1</source>
        <translation>Carrier 1</translation>
    </message>
    <message>
        <source>Vettore 2</source>
        <translation>Carrier 2</translation>
    </message>
    <message>
        <source>Colli (di riga)</source>
        <translation>Packages (row)</translation>
    </message>
    <message>
        <source>Peso netto (di riga)</source>
        <translation>Net weight (row)</translation>
    </message>
    <message>
        <source>Peso lordo (di riga)</source>
        <translation>Gross weight (row)</translation>
    </message>
    <message>
        <source>Volume (di riga)</source>
        <translation>Volume (row)</translation>
    </message>
    <message>
        <source>Quantita' 1 (di riga)</source>
        <translation>Quantity 1 (row)</translation>
    </message>
    <message>
        <source>Quantita' 2 (di riga)</source>
        <translation>Quantity 2 (row)</translation>
    </message>
    <message>
        <source>Agente (di testata)</source>
        <translation>Agent (header)</translation>
    </message>
    <message>
        <source>Codice cli/for</source>
        <translation>Customer/supplier code</translation>
    </message>
    <message>
        <source>Codice cli/for fatturazione</source>
        <translation>Invoicing customer/supplier code</translation>
    </message>
    <message>
        <source>Stato estero cli/for</source>
        <translation>Customer/supplier foreign country</translation>
    </message>
    <message>
        <source>Provincia cli/for</source>
        <translation>Customer/supplier province</translation>
    </message>
    <message>
        <source>Macrocategoria cli/for</source>
        <translation>Customer/supplier macro-category</translation>
    </message>
    <message>
        <source>Categoria cli/for</source>
        <translation>Customer/supplier category</translation>
    </message>
    <message>
        <source>Sottocategoria cli/for</source>
        <translation>Customer/supplier subcategory</translation>
    </message>
    <message>
        <source>Macroarea cli/for</source>
        <translation>Customer/supplier macro-area</translation>
    </message>
    <message>
        <source>Area cli/for</source>
        <translation>Customer/supplier area</translation>
    </message>
    <message>
        <source>Zona cli/for</source>
        <translation>Customer/supplier zone</translation>
    </message>
    <message>
        <source>Raggr. cli/for 1</source>
        <translation>Customer/supplier grouping 1</translation>
    </message>
    <message>
        <source>Raggr. cli/for 2</source>
        <translation>Customer/supplier grouping 2</translation>
    </message>
    <message>
        <source>Raggr. cli/for 3</source>
        <translation>Customer/supplier grouping 3</translation>
    </message>
    <message>
        <source>Intermedio cli/for</source>
        <translation>Customer/supplier intermediary</translation>
    </message>
    <message>
        <source>Agente cli/for</source>
        <translation>Customer/supplier agent</translation>
    </message>
    <message>
        <source>Area Nielsen cli/for</source>
        <translation>Customer/supplier Nielsen area</translation>
    </message>
    <message>
        <source>Destinatario cli/for</source>
        <translation>Customer/supplier consignee</translation>
    </message>
    <message>
        <source>Cli/for documento</source>
        <translation>Document customer/supplier</translation>
    </message>
    <message>
        <source>ID Nodo distinta cli/for</source>
        <translation>Customer/supplier bill node ID</translation>
    </message>
    <message>
        <source>Codice articolo</source>
        <translation>Item code</translation>
    </message>
    <message>
        <source>Famiglia</source>
        <translation>Family</translation>
    </message>
    <message>
        <source>Sottofamiglia</source>
        <translation>Subfamily</translation>
    </message>
    <message>
        <source>Gruppo</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>Sottogruppo</source>
        <translation>Subgroup</translation>
    </message>
    <message>
        <source>Gruppo fiscale</source>
        <translation>Tax group</translation>
    </message>
    <message>
        <source>Marca</source>
        <translation>Brand</translation>
    </message>
    <message>
        <source>Gruppo stat. 1</source>
        <translation>Statistical group 1</translation>
    </message>
    <message>
        <source>Gruppo stat. 2</source>
        <translation>Statistical group 2</translation>
    </message>
    <message>
        <source>Gruppo stat. 3</source>
        <translation>Statistical group 3</translation>
    </message>
    <message>
        <source>Gruppo stat. 4</source>
        <translation>Statistical group 4</translation>
    </message>
    <message>
        <source>Classe sconto</source>
        <translation>Discount class</translation>
    </message>
    <message>
        <source>Confezione (di riga)</source>
        <translation>Package type (row)</translation>
    </message>
    <message>
        <source>Stato</source>
        <translation>Item status</translation>
    </message>
    <message>
        <source>Totale colli</source>
        <translation>Total packages</translation>
    </message>
    <message>
        <source>Peso lordo totale</source>
        <translation>Total gross weight</translation>
    </message>
    <message>
        <source>Peso netto totale</source>
        <translation>Total net weight</translation>
    </message>
    <message>
        <source>Volume totale</source>
        <translation>Total volume</translation>
    </message>
    <message>
        <source>Totale merce 1</source>
        <translation>Goods total 1</translation>
    </message>
    <message>
        <source>Totale merce 1 val.</source>
        <translation>Goods total 1 curr.</translation>
    </message>
    <message>
        <source>Totale merce 2</source>
        <translation>Goods total 2</translation>
    </message>
    <message>
        <source>Totale merce 2 val.</source>
        <translation>Goods total 2 curr.</translation>
    </message>
    <message>
        <source>Totale merce 3</source>
        <translation>Goods total 3</translation>
    </message>
    <message>
        <source>Totale merce 3 val.</source>
        <translation>Goods total 3 curr.</translation>
    </message>
    <message>
        <source>Totale merce 4</source>
        <translation>Goods total 4</translation>
    </message>
    <message>
        <source>Totale merce 4 val.</source>
        <translation>Goods total 4 curr.</translation>
    </message>
    <message>
        <source>Totale costo</source>
        <translation>Cost total</translation>
    </message>
    <message>
        <source>Totale costo val.</source>
        <translation>Cost total curr.</translation>
    </message>
    <message>
        <source>Totale lordo merce</source>
        <translation>Gross goods total</translation>
    </message>
    <message>
        <source>Totale lordo merce val.</source>
        <translation>Gross goods total curr.</translation>
    </message>
    <message>
        <source>Totale netto merce</source>
        <translation>Net goods total</translation>
    </message>
    <message>
        <source>Totale netto merce val.</source>
        <translation>Net goods total curr.</translation>
    </message>
    <message>
        <source>Totale imponibile</source>
        <translation>Taxable total</translation>
    </message>
    <message>
        <source>Totale imponibile val.</source>
        <translation>Taxable total curr.</translation>
    </message>
    <message>
        <source>Totale iva</source>
        <translation>VAT total</translation>
    </message>
    <message>
        <source>Totale iva val.</source>
        <translation>VAT total curr.</translation>
    </message>
    <message>
        <source>Totale a pagare</source>
        <translation>Total payable</translation>
    </message>
    <message>
        <source>Totale a pagare val.</source>
        <translation>Total payable curr.</translation>
    </message>
    <message>
        <source>Totale documento</source>
        <translation>Document total</translation>
    </message>
    <message>
        <source>Totale documento val.</source>
        <translation>Document total curr.</translation>
    </message>
    <message>
        <source>Progetto</source>
        <translation>Project</translation>
    </message>
    <message>
        <source>Sottoprogetto</source>
        <translation>Subproject</translation>
    </message>
    <message>
        <source>Commessa</source>
        <translation>Job order</translation>
    </message>
    <message>
        <source>Sottocommessa</source>
        <translation>Job sub-order</translation>
    </message>
    <message>
        <source>Nodo</source>
        <translation>Node</translation>
    </message>
    <message>
        <source>Attività</source>
        <translation>Activity</translation>
    </message>
    <message>
        <source>Spesa</source>
        <translation>Expense</translation>
    </message>
    <message>
        <source>Tipo progetto</source>
        <translation>Project type</translation>
    </message>
    <message>
        <source>Stato progetto</source>
        <translation>Project status</translation>
    </message>
    <message>
        <source>Classe A</source>
        <translation>Class A</translation>
    </message>
    <message>
        <source>Classe B</source>
        <translation>Class B</translation>
    </message>
    <message>
        <source>Classe C</source>
        <translation>Class C</translation>
    </message>
    <message>
        <source>Tipo prodotto</source>
        <translation>Product type</translation>
    </message>
    <message>
        <source>Provenienza</source>
        <translation>Origin</translation>
    </message>
    <message>
        <source>Reparto</source>
        <translation>Department</translation>
    </message>
    <message>
        <source>Fase (di dettaglio)</source>
        <translation>Phase (detail)</translation>
    </message>
    <message>
        <source>Reparto (di dettaglio)</source>
        <translation>Department (detail)</translation>
    </message>
    <message>
        <source>Macchina</source>
        <translation>Machine</translation>
    </message>
    <message>
        <source>Attrezzo</source>
        <translation>Tool</translation>
    </message>
    <message>
        <source>Kit attrezzo</source>
        <translation>Tool kit</translation>
    </message>
    <message>
        <source>Qualifica</source>
        <translation>Qualification</translation>
    </message>
    <message>
        <source>Modello</source>
        <translation>Model</translation>
    </message>
</context>
</TS>
